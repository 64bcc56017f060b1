#include "device/core/Exchange.h"

#include "device/core/VariatorHolds.h"

#include "device/wire/ComPort.h"
#include "device/wire/Frame.h"

const QString NotSentMessage = QStringLiteral("Невозможно отправить запрос вариатору. Com-port не удается открыть или отправить ему данные");
const QString NoReplyMessage = QStringLiteral("UARTdataExchange: Вариатор не отвечает");
const QString BadChecksumMessage = QStringLiteral("UARTdataExchange: Ошибка контрольной суммы пакета, принятого от вариатора");
const QString ReportedChecksumMessage = QStringLiteral("UARTdataExchange: Вариатор сообщает о получении пакета с неверной контрольной суммой");
const QString ReportedParameterMessage = QStringLiteral("UARTdataExchange: Вариатор сообщает о получении пакета с неверным параметром");
const QString ReportedCodeMessage = QStringLiteral("UARTdataExchange: Вариатор отвечает параметром 0xFF с кодом ошибки ");

namespace {

MessageSink InstalledSink;

}  // namespace

void SetMessageSink(MessageSink sink)
{
    InstalledSink = std::move(sink);
}

const MessageSink& LinkMessageSink()
{
    return InstalledSink;
}

ExchangeKind ExchangeKindOf(const QString& kind)
{
    return kind == QLatin1String("write") ? ExchangeKind::Write : ExchangeKind::Read;
}

bool LinkLost(ExchangeOutcome outcome)
{
    return outcome == ExchangeOutcome::NotSent || outcome == ExchangeOutcome::NoReply;
}

int UARTdataExchange(const QString& kind, unsigned char parameter, short data,
                     unsigned char interactive, bool* replyValid)
{
    return ExchangeFrame(VariatorPort, ExchangeKindOf(kind), parameter, data, interactive ? InstalledSink : MessageSink(),
                         replyValid);
}

namespace {

int Exchange(ComPort* port, ExchangeKind kind, unsigned char parameter, short data, const MessageSink& messages,
             bool* replyValid, ExchangeOutcome* outcome, const WireStep& whileOnWire)
{
    if (replyValid)
        *replyValid = false;
    ExchangeOutcome ignored;
    ExchangeOutcome& ended = outcome ? *outcome : ignored;
    ended = ExchangeOutcome::NotSent;

    unsigned char frame[FrameSize];
    BuildFrame(frame, kind == ExchangeKind::Write ? WriteCommand : ReadCommand, parameter, data);

    // Bytes left over from an earlier exchange (a reply that came too late,
    // noise on the line) would otherwise be taken for this request's reply.
    if (port)
        port->Purge();

    const bool sent = port && port->Write(frame, FrameSize);
    // The request now takes six character times to reach the variator and
    // the reply six more to come back: time enough for the caller's own work.
    if (whileOnWire)
        whileOnWire();
    if (!sent) {
        if (messages)
            messages(NotSentMessage);
        return data;
    }

    if (!port->Read(frame, FrameSize)) {
        ended = port->LastReadCount() == 0 ? ExchangeOutcome::NoReply : ExchangeOutcome::ShortReply;
        // No complete reply before the time-out. The buffer may mix reply and
        // request bytes, so its data field means nothing; the request's own
        // data is returned instead (for the handshake that is 11, never 1).
        if (messages)
            messages(NoReplyMessage);
        return data;
    }

    if (!ChecksumMatches(frame)) {
        ended = ExchangeOutcome::BadChecksum;
        if (messages)
            messages(BadChecksumMessage);
        return DataField(frame);
    }

    if (IsErrorReport(frame)) {
        ended = ExchangeOutcome::ErrorReport;
        const unsigned code = ErrorCode(frame);
        if (messages) {
            if (code == ErrorCodeChecksum)
                messages(ReportedChecksumMessage);
            else if (code == ErrorCodeParameter)
                messages(ReportedParameterMessage);
            else
                messages(ReportedCodeMessage + QString::number(code));
        }
        return DataField(frame);
    }

    ended = ExchangeOutcome::Valid;
    if (replyValid)
        *replyValid = true;
    return DataField(frame);
}

}  // namespace

int ExchangeFrame(ComPort* port, ExchangeKind kind, unsigned char parameter, short data,
                  const MessageSink& messages, bool* replyValid, ExchangeOutcome* outcome,
                  const WireStep& whileOnWire)
{
    ExchangeOutcome ended = ExchangeOutcome::NotSent;
    const int value = Exchange(port, kind, parameter, data, messages, replyValid, &ended, whileOnWire);
    NoteExchange(kind, parameter, data, value, ended);
    if (outcome)
        *outcome = ended;
    return value;
}
