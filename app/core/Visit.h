#pragma once

// The visit: one car at the bench while one variator stays connected. It
// keeps what the car came in with ("before": the first complete read, or,
// when the maps were written without one, what the variator was known to
// hold before the first write), what it was last known to hold ("after"),
// the car typed for it and the restore points it left, so that the car's
// name reaches every one of them, those left before it was typed too. A new
// connect, or a different car typed once restore points carry the first one,
// starts a new visit. An ended visit stays until the next one starts, so that
// its record can still be made after the disconnect.
//
// Live writing leaves a restore point only for a state that settled: once it
// has been quiet for SettleMs, or when something else comes (unticked,
// disconnect, a new read or write, close). The visit's clock can be set, so
// that the rules can be tried without waiting.

#include "app/core/History.h"
#include "app/core/MapStore.h"

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

struct HeldValues;

// The maps and the start timeout of a car at one moment, as they went over
// the line.
struct CarState {
    MapTable lpg = {};
    MapTable petrol = {};
    QString startTimeout;  // empty: not known
};

struct Visit {
    QString id;  // [0-9a-z]; empty: no visit yet
    QDateTime started;
    bool connected = false;
    int readPort = 0;  // the port of the visit's last complete read; 0: none
    QString car;
    bool hasBefore = false;
    bool beforeRead = false;  // the before came from a read, not from what writes had echoed
    CarState before;
    bool hasAfter = false;
    CarState after;
    QStringList points;        // the restore points left, oldest first
    bool carCarried = false;   // a restore point was left with the car as it is
    bool failureTold = false;  // a history that cannot be written is told once
    bool noteFailureTold = false;
    // Live writing's state on the car, not yet left as a restore point.
    bool pending = false;
    CarState pendingState;
    int pendingPort = 0;
    qint64 pendingSince = 0;  // the visit clock at the last live write
};

extern Visit CurrentVisit;

// Milliseconds of the visit's clock; a test sets a clock of its own.
extern std::function<qint64()> VisitClock;
// Live writing's state counts as settled after this much quiet.
constexpr qint64 SettleMs = 60 * 1000;

// A visit's id: its start, yyyyMMddHHmmss, and four hex digits of random.
QString VisitId(const QDateTime& start, quint16 random);

// A variator connected: a new visit, with no car, before or after yet.
void StartVisit(const QDateTime& when);
// Whether the visit holds nothing to tell: no car, no restore point, no before.
bool VisitEmpty();
// The variator disconnected; the visit stays for its record.
void EndVisit();

// The car typed in: the note of every restore point of the visit, those left
// already too, unless a different car follows one that restore points carry,
// which starts a new visit (whose first restore point is still to come). An
// empty text changes nothing. Returns the message to tell when notes could
// not be written (once per visit), else empty.
QString SetVisitCar(const QString& car);

// The car's maps as a complete read or compare gave them: the visit's before
// when it has none, and its after.
void VisitSawCar(const CarState& state, int port);
// Before the first frame of a write: when the visit has no before yet and the
// variator is known to hold every map point, that is the before.
void VisitBeforeWrite(const HeldValues& held);

// Leaves a restore point of the visit (its id in the name, its car as the
// note); a complete read or compare is seen as VisitSawCar sees it, a write
// becomes the after. Returns the message to tell, at most once per visit for
// a history that cannot be written.
QString LeaveVisitRestorePoint(TransferKind kind, int port, const MapTable& lpg, const MapTable& petrol,
                               const QString& startTimeout, std::optional<int> firmware = std::nullopt);

// A live write that left the variator holding state: it waits to settle.
void NoteLiveWrite(const CarState& state, int port);
// Milliseconds until the waiting state has been quiet for SettleMs (0: it
// has); -1 when none waits.
qint64 SettleInMs();
// Leaves the waiting state, if any, as a restore point of a write; returns
// the message to tell, as LeaveVisitRestorePoint does.
QString SettleLiveWriting();
// As SettleLiveWriting, but only once the state has been quiet for SettleMs.
QString SettleLiveWritingIfQuiet();
