#include "device/ui/TransferRun.h"

#include "app/ui/Gui2.h"
#include "app/widgets/Anchors.h"
#include "app/widgets/Controls.h"
#include "app/widgets/Seams.h"
#include "device/wire/ComPort.h"

#include <QApplication>
#include <QKeyEvent>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <memory>
#include <vector>

namespace {

WindowTransfer* Running = nullptr;
bool LiveRun = false;
bool StopAsked = false;
bool CloseAsked = false;

// A key kept during a live write, for its receiver after it.
struct KeptKey {
    QPointer<QObject> receiver;
    QEvent::Type type;
    int key;
    Qt::KeyboardModifiers modifiers;
    QString text;
    bool autoRepeat;
};
std::vector<KeptKey> KeptKeys;

bool IsInput(QEvent::Type type)
{
    switch (type) {
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::ShortcutOverride:
    case QEvent::Shortcut:
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::Wheel:
    case QEvent::ContextMenu:
    case QEvent::TouchBegin:
    case QEvent::TouchUpdate:
    case QEvent::TouchEnd:
    case QEvent::TabletPress:
    case QEvent::TabletRelease:
    case QEvent::InputMethod:
    case QEvent::Drop:
        return true;
    default:
        return false;
    }
}

// While a transfer runs, only the stop reaches the window.
class TransferInput : public QObject {
public:
    QPointer<QPushButton> stop;

    bool eventFilter(QObject* receiver, QEvent* event) override
    {
        if (!Running || !IsInput(event->type()))
            return false;
        // A box of the transfer is open: it takes its own input, and the
        // window behind it is blocked by its modality.
        if (QApplication::activeModalWidget())
            return false;
        const auto type = event->type();
        // Input reaches a native window first and is passed on from there to
        // the widget it is for: it is judged there, where the stop button can
        // be told apart. A shortcut goes to its action.
        auto* widget = qobject_cast<QWidget*>(receiver);
        if (!widget && type != QEvent::Shortcut)
            return false;
        if (stop && widget == stop)
            return false;
        if (type == QEvent::KeyPress || type == QEvent::KeyRelease || type == QEvent::ShortcutOverride) {
            auto* key = static_cast<QKeyEvent*>(event);
            if (key->key() == Qt::Key_Escape) {
                if (type == QEvent::KeyPress)
                    StopTransfer();
                event->accept();
                return true;
            }
            if (LiveRun && type != QEvent::ShortcutOverride)
                KeptKeys.push_back({receiver, type, key->key(), key->modifiers(), key->text(), key->isAutoRepeat()});
            // Taken here, so that no shortcut fires either.
            event->accept();
            return true;
        }
        return true;
    }
};

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

WindowTransfer::WindowTransfer(TForm2* w, TransferKind command, bool live)
    : window(w)
{
    tally.command = command;
    Running = this;
    LiveRun = live;
    StopAsked = false;
    CloseAsked = false;
    KeptKeys.clear();
    if (window->StopTransferButton)
        window->StopTransferButton->setVisible(true);
}

WindowTransfer::~WindowTransfer()
{
    Finish();
    Running = nullptr;
    LiveRun = false;
    StopAsked = false;
    if (window->StopTransferButton)
        window->StopTransferButton->setVisible(false);
    // The keys of a live write go to their widgets now, in the order pressed.
    for (const KeptKey& k : KeptKeys)
        if (k.receiver)
            QCoreApplication::postEvent(k.receiver,
                                        new QKeyEvent(k.type, k.key, k.modifiers, k.text, k.autoRepeat));
    KeptKeys.clear();
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
