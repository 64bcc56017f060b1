#include "Dataextractor.h"

#include "ComPort.h"
#include "Crc.h"
#include "Seams.h"

namespace {

const int FrameSize = 6;

int DataField(const unsigned char* frame)
{
    return int(int16_t(uint16_t((frame[2] << 8) | frame[3])));
}

} // namespace

int UARTdataExchange(const QString& kind, unsigned char parameter, short data,
                     unsigned char interactive, bool* replyValid)
{
    if (replyValid)
        *replyValid = false;

    unsigned char frame[FrameSize];
    frame[0] = kind == QLatin1String("write") ? 0xAA : 0x55;
    frame[1] = parameter;
    frame[2] = (uint16_t(data) >> 8) & 0xFF;
    frame[3] = uint16_t(data) & 0xFF;
    uint16_t crc = Crc16(frame, 4);
    frame[4] = crc >> 8;
    frame[5] = crc & 0xFF;

    // Bytes left over from an earlier exchange (a reply that came too late,
    // noise on the line) would otherwise be taken for this request's reply.
    if (VariatorPort)
        VariatorPort->Purge();

    if (!VariatorPort || !VariatorPort->Write(frame, FrameSize)) {
        if (interactive)
            ShowMessage(QStringLiteral("Невозможно отправить запрос вариатору. Com-port не удается открыть или отправить ему данные"));
        return data;
    }

    if (!VariatorPort->Read(frame, FrameSize)) {
        // No complete reply before the time-out. The buffer may mix reply and
        // request bytes, so its data field means nothing; the request's own
        // data is returned instead (for the handshake that is 11, never 1).
        if (interactive)
            ShowMessage(QStringLiteral("UARTdataExchange: Вариатор не отвечает"));
        return data;
    }

    crc = Crc16(frame, 4);
    if (frame[4] != (crc >> 8) || frame[5] != (crc & 0xFF)) {
        if (interactive)
            ShowMessage(QStringLiteral("UARTdataExchange: Ошибка контрольной суммы пакета, принятого от вариатора"));
        return DataField(frame);
    }

    if (frame[1] == 0xFF) {
        const unsigned code = frame[2] * 256u + frame[3];
        if (interactive) {
            if (code == 1)
                ShowMessage(QStringLiteral("UARTdataExchange: Вариатор сообщает о получении пакета с неверной контрольной суммой"));
            else if (code == 2)
                ShowMessage(QStringLiteral("UARTdataExchange: Вариатор сообщает о получении пакета с неверным параметром"));
            else
                ShowMessage(QStringLiteral("UARTdataExchange: Вариатор отвечает параметром 0xFF с кодом ошибки ")
                            + QString::number(code));
        }
        return DataField(frame);
    }

    if (replyValid)
        *replyValid = true;
    return DataField(frame);
}
