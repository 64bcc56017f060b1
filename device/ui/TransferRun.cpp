#include "device/ui/TransferRun.h"

#include "app/ui/Gui2.h"
#include "app/widgets/Anchors.h"
#include "app/widgets/Controls.h"
#include "app/widgets/Seams.h"
#include "editors/ui/ChartEditor.h"
#include "editors/ui/RangeCommands.h"
#include "device/wire/ComPort.h"

#include <QAction>
#include <QApplication>
#include <QKeyEvent>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QUndoStack>
#include <memory>
#include <vector>

namespace {

WindowTransfer* Running = nullptr;
bool StopAsked = false;
bool CloseAsked = false;

// Whether an event is the user's input: whatever Qt counts as input (keys,
// the pointer's buttons and moves, the wheel, touch, tablets, context menus),
// and what carries input without being a QInputEvent. The pointer entering or
// hovering a widget only tells where it is.
bool IsUserInput(const QEvent* event)
{
    switch (event->type()) {
    case QEvent::Enter:
    case QEvent::HoverEnter:
    case QEvent::HoverMove:
    case QEvent::HoverLeave:
        return false;
    case QEvent::Shortcut:
    case QEvent::InputMethod:
    case QEvent::DragEnter:
    case QEvent::DragMove:
    case QEvent::Drop:
        return true;
    default:
        return event->isInputEvent();
    }
}

// While a transfer runs, the user's input reaches only the stop (the button,
// Escape) and the transfer's own boxes; all else is dropped whole, so that no
// click or key lands after the transfer where it was not meant.
class TransferInput : public QObject {
public:
    QPointer<QPushButton> stop;

    bool eventFilter(QObject* receiver, QEvent* event) override
    {
        if (!Running || !IsUserInput(event))
            return false;
        const auto type = event->type();
        // Input reaches a native window first and is passed on from there to
        // the widget it is for: it is judged there, where the stop button can
        // be told apart. A shortcut goes to its action.
        auto* widget = qobject_cast<QWidget*>(receiver);
        if (!widget && type != QEvent::Shortcut)
            return false;
        // A box of the transfer is open: it takes its own input.
        const QWidget* modal = QApplication::activeModalWidget();
        if (widget && modal && (widget == modal || modal->isAncestorOf(widget)))
            return false;
        if (stop && widget == stop)
            return false;
        if (type == QEvent::KeyPress && static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape)
            StopTransfer();
        // Taken here, so that no shortcut fires either.
        event->accept();
        return true;
    }
};

// The window's commands stand disabled while a transfer runs: the ones that
// were enabled when it began, enabled again after it.
std::vector<QPointer<QAction>> DisabledCommands;

void DisableCommands(TForm2* window)
{
    DisabledCommands.clear();
    for (QAction* action : window->findChildren<QAction*>()) {
        if (action->isEnabled()) {
            DisabledCommands.emplace_back(action);
            action->setEnabled(false);
        }
    }
    QApplication::setOverrideCursor(Qt::BusyCursor);
}

void EnableCommands(TForm2* window)
{
    QApplication::restoreOverrideCursor();
    for (const QPointer<QAction>& action : DisabledCommands)
        if (action)
            action->setEnabled(true);
    DisabledCommands.clear();
    // The commands whose enabling follows a state of their own take it again.
    UpdateRangeCommands(window);
    window->N15->setEnabled(window->UndoStack->canUndo());
    window->N16->setEnabled(window->UndoStack->canRedo());
}

TransferInput* Filter = nullptr;

void ShowPoint(int i)
{
    QProgressBar* bar = Form2->ProgressBar1;
    bar->setValue(i);
    RepaintNow(bar);
}

void TakeEvents()
{
    QCoreApplication::processEvents(QEventLoop::AllEvents);
}

}  // namespace

void SetupTransferControls(TForm2* window)
{
    auto* stop = new TButton(QStringLiteral("Прервать"), window->ClientArea);
    stop->setObjectName(QStringLiteral("StopTransferButton"));
    Place(stop, 760, 44, 75, 23, Anchor::LeftTop, QSize(TForm2::DesignWidth, TForm2::DesignHeight));
    stop->FitCaption();
    stop->setFocusPolicy(Qt::NoFocus);
    stop->hide();
    window->StopTransferButton = stop;
    QObject::connect(stop, &QPushButton::clicked, window, [] { StopTransfer(); });
    if (!Filter) {
        Filter = new TransferInput;
        qApp->installEventFilter(Filter);
    }
    Filter->stop = stop;
}

bool TransferRunning()
{
    return Running != nullptr;
}

void StopTransfer()
{
    if (Running)
        StopAsked = true;
}

bool DeferCloseForTransfer()
{
    if (!Running)
        return false;
    StopAsked = true;
    CloseAsked = true;
    return true;
}

WindowTransfer* CurrentTransfer()
{
    return Running;
}

bool TransferMayStart()
{
    return !Running && !(Form2 && MarkerDragHeld(Form2));
}

WindowTransfer::WindowTransfer(TForm2* w, TransferKind command)
    : window(w)
{
    // A marker still held is put back before the first frame: no drag goes
    // on while the transfer owns the maps.
    PutBackMarkerDrag(window);
    tally.command = command;
    Running = this;
    StopAsked = false;
    CloseAsked = false;
    DisableCommands(window);
    if (window->StopTransferButton)
        window->StopTransferButton->setVisible(true);
}

WindowTransfer::~WindowTransfer()
{
    Finish();
    Running = nullptr;
    StopAsked = false;
    EnableCommands(window);
    if (window->StopTransferButton)
        window->StopTransferButton->setVisible(false);
    if (CloseAsked) {
        CloseAsked = false;
        QTimer::singleShot(0, window, [w = window] { w->close(); });
    }
}

MessageSink WindowTransfer::Sink()
{
    return [this](const QString& text) { pending << text; };
}

ProgressStep WindowTransfer::Step()
{
    return [](int i) {
        ShowPoint(i);
        TakeEvents();
    };
}

WireStep WindowTransfer::Events()
{
    return [] { TakeEvents(); };
}

bool WindowTransfer::After(ExchangeOutcome outcome)
{
    // The first failure shows its messages as they always were; the later
    // ones are counted for the summary.
    if (!pending.isEmpty()) {
        const QStringList texts = pending;
        pending.clear();
        if (!failureShown) {
            failureShown = true;
            for (const QString& text : texts)
                ShowMessage(text);
        }
    }
    if (!tally.GoesOn(outcome, StopAsked))
        going = false;
    return going;
}

bool WindowTransfer::AfterPoint(MapTally& map, ExchangeOutcome outcome, bool ok)
{
    tally.CountPoint(map, outcome, ok);
    return After(outcome);
}

bool WindowTransfer::AfterSetting(bool* tried, bool* done, ExchangeOutcome outcome, bool ok)
{
    tally.CountSetting(tried, done, outcome, ok);
    return After(outcome);
}

bool WindowTransfer::Finish()
{
    if (finished)
        return NeedsSummary(tally);
    finished = true;
    if (tally.end == TransferEnd::NoReply || tally.end == TransferEnd::NotSent) {
        // The link is gone: closed, so that "Подключиться" works at once once
        // the cable is back.
        DisconnectVariator();
        SetConnectionStatus(window, ConnectionStatus::Disconnected);
    }
    if (!NeedsSummary(tally))
        return false;
    ShowMessage(TransferSummary(tally));
    return true;
}
