#include "app/core/Visit.h"

#include "app/core/Advance.h"
#include "device/core/VariatorHolds.h"
#include "device/wire/Frame.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QRandomGenerator>

Visit CurrentVisit;

std::function<qint64()> VisitClock = [] {
    static QElapsedTimer clock = [] {
        QElapsedTimer t;
        t.start();
        return t;
    }();
    return clock.elapsed();
};

namespace {

CarState WireState(const MapTable& lpg, const MapTable& petrol, const QString& startTimeout)
{
    CarState state;
    state.lpg = WireMap(lpg);
    state.petrol = WireMap(petrol);
    state.startTimeout = startTimeout;
    return state;
}

// A message that is told only the first time, once per visit.
QString Once(bool& told, const QString& message)
{
    if (message.isEmpty() || told)
        return QString();
    told = true;
    return message;
}

}  // namespace

QString VisitId(const QDateTime& start, quint16 random)
{
    return start.toString(QStringLiteral("yyyyMMddHHmmss")) + QStringLiteral("%1").arg(random, 4, 16, QLatin1Char('0'));
}

void StartVisit(const QDateTime& when)
{
    CurrentVisit = Visit();
    CurrentVisit.id = VisitId(when, quint16(QRandomGenerator::global()->bounded(0x10000)));
    CurrentVisit.started = when;
    CurrentVisit.connected = true;
}

void EndVisit()
{
    CurrentVisit.connected = false;
}

bool VisitEmpty()
{
    return CurrentVisit.car.isEmpty() && CurrentVisit.points.isEmpty() && !CurrentVisit.hasBefore;
}

QString SetVisitCar(const QString& text)
{
    const QString car = text.trimmed();
    Visit& v = CurrentVisit;
    if (car.isEmpty() || car == v.car)
        return QString();
    if (!v.car.isEmpty() && v.carCarried) {
        // Another car at the bench: what waits belongs to the first one.
        QString told = SettleLiveWriting();
        const bool connected = v.connected;
        const int port = v.readPort;
        StartVisit(QDateTime::currentDateTime());
        v.connected = connected;
        v.readPort = port;
        v.car = car;
        return told;
    }
    v.car = car;
    QString failure;
    for (const QString& point : std::as_const(v.points)) {
        // A point taken away since has nothing left to name.
        if (!QFileInfo::exists(point))
            continue;
        QString reason;
        if (!SaveRestorePointNote(point, car, &reason) && failure.isEmpty())
            failure = RestorePointNoteFailure(point, reason);
    }
    return Once(v.noteFailureTold, failure);
}

void VisitSawCar(const CarState& state, int port)
{
    Visit& v = CurrentVisit;
    if (!v.hasBefore) {
        v.hasBefore = true;
        v.beforeRead = true;
        v.before = state;
    }
    v.hasAfter = true;
    v.after = state;
    v.readPort = port;
}

void VisitBeforeWrite(const HeldValues& held)
{
    Visit& v = CurrentVisit;
    if (v.hasBefore)
        return;
    CarState state;
    SetSpeedAxis(state.lpg);
    SetSpeedAxis(state.petrol);
    for (int i = 0; i < MapPoints; ++i) {
        if (!held.known[LPGFirstParameter + i] || !held.known[PetrolFirstParameter + i])
            return;
        state.lpg.Uoz[i] = AdvanceFromThousandths(held.code[LPGFirstParameter + i]);
        state.petrol.Uoz[i] = AdvanceFromThousandths(held.code[PetrolFirstParameter + i]);
    }
    if (held.timeoutKnown)
        state.startTimeout = QString::number(held.timeout);
    v.hasBefore = true;
    v.beforeRead = false;
    v.before = state;
}

QString LeaveVisitRestorePoint(TransferKind kind, int port, const MapTable& lpg, const MapTable& petrol,
                               const QString& startTimeout, std::optional<int> firmware)
{
    Visit& v = CurrentVisit;
    const CarState state = WireState(lpg, petrol, startTimeout);
    if (kind == TransferKind::Write) {
        v.hasAfter = true;
        v.after = state;
    } else {
        VisitSawCar(state, port);
    }
    QString file;
    const QString message = LeaveRestorePoint(kind, port, lpg, petrol, startTimeout, firmware, v.car, v.id, &file);
    // The history folder's news (gone to the default folder, back again) is
    // told once by the core itself, beside whatever this point's own is.
    const QString news = TakeHistoryFolderNews();
    const auto beside = [&news](const QString& own) {
        return news.isEmpty() ? own : own.isEmpty() ? news : news + QLatin1Char('\n') + own;
    };
    if (file.isEmpty())
        return beside(Once(v.failureTold, message));
    v.points.append(file);
    if (!v.car.isEmpty())
        v.carCarried = true;
    return beside(Once(v.noteFailureTold, message));
}

void NoteLiveWrite(const CarState& state, int port)
{
    Visit& v = CurrentVisit;
    v.pending = true;
    v.pendingState = WireState(state.lpg, state.petrol, state.startTimeout);
    v.pendingPort = port;
    v.pendingSince = VisitClock();
    v.hasAfter = true;
    v.after = v.pendingState;
}

qint64 SettleInMs()
{
    const Visit& v = CurrentVisit;
    if (!v.pending)
        return -1;
    return std::max<qint64>(0, v.pendingSince + SettleMs - VisitClock());
}

QString SettleLiveWriting()
{
    Visit& v = CurrentVisit;
    if (!v.pending)
        return QString();
    v.pending = false;
    const CarState state = v.pendingState;
    return LeaveVisitRestorePoint(TransferKind::Write, v.pendingPort, state.lpg, state.petrol, state.startTimeout);
}

QString SettleLiveWritingIfQuiet()
{
    return SettleInMs() == 0 ? SettleLiveWriting() : QString();
}
