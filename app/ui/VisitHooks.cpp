#include "app/ui/VisitHooks.h"

#include "app/core/Visit.h"
#include "app/ui/Gui2.h"
#include "app/widgets/Seams.h"
#include "device/core/VariatorHolds.h"
#include "device/ui/TransferRun.h"

#include <QAction>
#include <QLineEdit>
#include <QPointer>
#include <QTimer>

namespace {

const char* const SettleTimerName = "LiveSettleTimer";

QString BoxCar(const TForm2* window)
{
    return window->CarNoteEdit ? window->CarNoteEdit->text().trimmed() : QString();
}

// A message from a hook that may run inside a widget's own event or a
// transfer: told once the event loop comes round again.
void TellLater(TForm2* window, const QString& message)
{
    if (message.isEmpty())
        return;
    QMetaObject::invokeMethod(
        window, [message] { RunHandler([message] { ShowMessage(message); }); }, Qt::QueuedConnection);
}

void Tell(TForm2* window, const QString& message)
{
    if (message.isEmpty())
        return;
    if (TransferRunning())
        TellLater(window, message);
    else
        ShowMessage(message);
}

QTimer* SettleTimer(TForm2* window)
{
    return window->findChild<QTimer*>(QLatin1String(SettleTimerName), Qt::FindDirectChildrenOnly);
}

void ArmSettleTimer(TForm2* window)
{
    QTimer* timer = SettleTimer(window);
    const qint64 wait = SettleInMs();
    if (!timer)
        return;
    if (wait < 0)
        timer->stop();
    else
        timer->start(int(std::max<qint64>(wait, 1)));
}

}  // namespace

void SetupVisitHooks(TForm2* window)
{
    CurrentVisit = Visit();
    auto* timer = new QTimer(window);
    timer->setObjectName(QLatin1String(SettleTimerName));
    timer->setSingleShot(true);
    QObject::connect(timer, &QTimer::timeout, window, [window] { SettleIfQuiet(window); });
    QObject::connect(window->CarNoteEdit, &QLineEdit::editingFinished, window,
                     [window] { TellLater(window, SetVisitCar(BoxCar(window))); });
    if (window->N51)
        QObject::connect(window->N51, &QAction::toggled, window, [window](bool on) {
            if (!on)
                Tell(window, SettleLiveWriting());
        });
}

void VisitConnectionChanged(TForm2* window, bool connected)
{
    if (connected == CurrentVisit.connected)
        return;
    if (connected) {
        StartVisit(QDateTime::currentDateTime());
        Tell(window, SetVisitCar(BoxCar(window)));
        return;
    }
    Tell(window, SetVisitCar(BoxCar(window)));
    const QString told = SettleLiveWriting();
    EndVisit();
    ArmSettleTimer(window);
    Tell(window, told);
}

void LeaveWindowRestorePoint(TForm2* window, TransferKind kind, int port, const MapTable& lpg,
                             const MapTable& petrol, const QString& startTimeout, std::optional<int> firmware)
{
    const QString noteTold = SetVisitCar(BoxCar(window));
    const QString told = LeaveVisitRestorePoint(kind, port, lpg, petrol, startTimeout, firmware);
    // Told at once, as the transfer's own messages are.
    for (const QString& message : {noteTold, told})
        if (!message.isEmpty())
            ShowMessage(message);
}

void VisitBeforeTransfer(TForm2* window, TransferKind kind, bool live)
{
    if (kind == TransferKind::Compare)
        return;
    Tell(window, SetVisitCar(BoxCar(window)));
    if (!live) {
        const QString told = SettleLiveWriting();
        ArmSettleTimer(window);
        Tell(window, told);
    }
    if (kind == TransferKind::Write)
        VisitBeforeWrite(VariatorHolds);
}

void VisitLiveWrote(TForm2* window, const MapTable& lpg, const MapTable& petrol, const QString& startTimeout,
                    int port)
{
    Tell(window, SetVisitCar(BoxCar(window)));
    CarState state;
    state.lpg = lpg;
    state.petrol = petrol;
    state.startTimeout = startTimeout;
    NoteLiveWrite(state, port);
    ArmSettleTimer(window);
}

void SettleIfQuiet(TForm2* window)
{
    const QString told = SettleLiveWritingIfQuiet();
    ArmSettleTimer(window);
    Tell(window, told);
}
