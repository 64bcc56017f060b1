#include "device/core/TransferLoop.h"

#include "device/wire/Frame.h"
#include "app/core/Advance.h"
#include "app/core/MapStore.h"

#include <cmath>
#include <cstdint>

const QString LPGWriteMismatch = QStringLiteral("WritePLGMap: функция UARTdataExchange возвращает неверное значение");
const QString PetrolWriteMismatch = QStringLiteral("WritePetrolMap: функция UARTdataExchange возвращает неверное значение");

namespace {

void Show(const MessageSink& messages, const QString& text)
{
    if (messages)
        messages(text);
}

// The progress step of point i, to run while its exchange is on the line.
WireStep PointStep(const ProgressStep& step, int i)
{
    if (!step)
        return WireStep();
    return [&step, i] { step(i); };
}

}  // namespace

bool FitsData(long long value)
{
    return value >= INT16_MIN && value <= INT16_MAX;
}

QList<int> AllMapPoints()
{
    QList<int> points;
    for (int i = 0; i < MapPoints; ++i)
        points.append(i);
    return points;
}

void ReadMapPoints(ComPort* port, MapTable& table, int firstParameter, const MessageSink& messages,
                   const ProgressStep& step, const PointWatch& watch)
{
    ReadMapPointList(port, table, firstParameter, AllMapPoints(), messages, step, watch);
}

void WriteMapPoints(ComPort* port, const MapTable& table, int firstParameter, const QString& mismatch,
                    const MessageSink& messages, const ProgressStep& step, const PointWatch& watch)
{
    WriteMapPointList(port, table, firstParameter, AllMapPoints(), mismatch, messages, step, watch);
}

void ReadMapPointList(ComPort* port, MapTable& table, int firstParameter, const QList<int>& points,
                      const MessageSink& messages, const ProgressStep& step, const PointWatch& watch)
{
    for (int i : points) {
        PointExchange done;
        done.point = i;
        done.parameter = firstParameter + i;
        done.value = ExchangeFrame(port, ExchangeKind::Read, static_cast<unsigned char>(done.parameter), MapReadData,
                                   messages, &done.ok, &done.outcome, PointStep(step, i));
        if (done.ok)
            table.Uoz[i] = AdvanceFromThousandths(done.value);
        if (watch && !watch(done))
            return;
    }
}

void WriteMapPointList(ComPort* port, const MapTable& table, int firstParameter, const QList<int>& points,
                       const QString& mismatch, const MessageSink& messages, const ProgressStep& step,
                       const PointWatch& watch)
{
    for (int i : points) {
        short code = 0;
        if (!AdvanceToThousandths(table.Uoz[i], &code)) {
            // Never sent: it would not fit the data field.
            if (step)
                step(i);
            Show(messages, mismatch);
            continue;
        }
        PointExchange done;
        done.point = i;
        done.parameter = firstParameter + i;
        done.sent = code;
        bool valid = false;
        done.value = ExchangeFrame(port, ExchangeKind::Write, static_cast<unsigned char>(done.parameter), code, messages,
                                   &valid, &done.outcome, PointStep(step, i));
        done.ok = valid && done.value == code;
        // With the link gone nothing came back to compare: the exchange's
        // own message says it all.
        if (!done.ok && !LinkLost(done.outcome))
            Show(messages, mismatch);
        if (watch && !watch(done))
            return;
    }
}

QString WriteRefusal(const QString& where)
{
    return QStringLiteral("Запись отменена: значение вне допустимого диапазона ") + where;
}

static bool MapFitsWire(const MapTable& table, const QString& mapName, const MessageSink& messages)
{
    short code = 0;
    for (int i = 0; i < MapPoints; ++i) {
        if (!AdvanceToThousandths(table.Uoz[i], &code)) {
            Show(messages, WriteRefusal(QStringLiteral("(%1, %2 об/мин)").arg(mapName).arg(i * RpmStep)));
            return false;
        }
    }
    return true;
}

bool MapsFitWire(const MapTable& lpg, const MapTable& petrol, const MessageSink& messages)
{
    return MapFitsWire(lpg, QStringLiteral("карта газа"), messages)
        && MapFitsWire(petrol, QStringLiteral("карта бензина"), messages);
}

bool StartTimeoutFitsWire(long long value, const MessageSink& messages)
{
    if (FitsData(value))
        return true;
    Show(messages, WriteRefusal(QStringLiteral("(время до включения вариатора)")));
    return false;
}
