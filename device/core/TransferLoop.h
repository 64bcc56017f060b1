#pragma once

// The transfers of the maps and the start timeout between the map store and
// the variator, one exchange per value, and the coding of an advance on the
// wire.

#include "app/core/Advance.h"
#include "device/core/Exchange.h"

#include <QList>
#include <QString>
#include <functional>

class ComPort;
struct MapTable;

// One exchange of a map transfer, as its watcher sees it.
struct PointExchange {
    int point = 0;  // 0..79
    int parameter = 0;
    ExchangeOutcome outcome = ExchangeOutcome::Valid;
    int value = 0;    // what the exchange returned (a write: the echo)
    short sent = 0;   // a write: the code sent
    bool ok = false;  // a read: a valid reply; a write: a valid reply echoing the code
};
// Called after each exchange of a transfer; false ends the transfer there.
using PointWatch = std::function<bool(const PointExchange& exchange)>;

// Transfers between a map table and the variator, over port, one exchange
// per point. step(i) runs once for point i while its request is on the line
// (after the request went out, before its reply is read and before any
// message of the point), so a repaint there costs no transfer time. An exchange that gets no valid reply
// leaves the value it was meant to read as it was; a map point counts as
// written only when a valid reply echoes it, otherwise mismatch is shown and
// the transfer goes on with the next point. watch, when given, sees every
// exchange and may end the transfer after it.
void ReadMapPoints(ComPort* port, MapTable& table, int firstParameter, const MessageSink& messages,
                   const ProgressStep& step, const PointWatch& watch = PointWatch());
void WriteMapPoints(ComPort* port, const MapTable& table, int firstParameter, const QString& mismatch,
                    const MessageSink& messages, const ProgressStep& step,
                    const PointWatch& watch = PointWatch());
// Points 0..79, ascending: what a whole map's transfer moves.
QList<int> AllMapPoints();
// The same for the given points only, in the order given.
void ReadMapPointList(ComPort* port, MapTable& table, int firstParameter, const QList<int>& points,
                      const MessageSink& messages, const ProgressStep& step, const PointWatch& watch = PointWatch());
void WriteMapPointList(ComPort* port, const MapTable& table, int firstParameter, const QList<int>& points,
                       const QString& mismatch, const MessageSink& messages, const ProgressStep& step,
                       const PointWatch& watch = PointWatch());
// The message of a map point that the variator did not echo.
extern const QString LPGWriteMismatch;
extern const QString PetrolWriteMismatch;
// Whether a value fits the 16-bit data field.
bool FitsData(long long value);
// The message that cancels a write before anything is sent, for the value at
// where, e.g. "(карта газа, 1200 об/мин)".
QString WriteRefusal(const QString& where);
// Checks every point of both maps, LPG first; on the first that does not fit
// shows the refusal and returns false.
bool MapsFitWire(const MapTable& lpg, const MapTable& petrol, const MessageSink& messages);
// The same for the start timeout.
bool StartTimeoutFitsWire(long long value, const MessageSink& messages);

// An advance goes on the wire by AdvanceToThousandths (app/core/Advance.h).
