#include "device/ui/DeviceCommands.h"

#include "editors/ui/ChartEditor.h"
#include "device/ui/TransferRun.h"
#include "device/wire/ComPort.h"
#include "device/wire/Frame.h"
#include "app/ui/Gui2.h"
#include "app/core/History.h"
#include "app/core/KeptMaps.h"
#include "app/core/MapCompare.h"
#include "app/core/Advance.h"
#include "app/core/MapStore.h"
#include "app/core/NumberText.h"
#include "editors/ui/ReferenceView.h"
#include "app/widgets/Seams.h"
#include "editors/ui/TableEditor.h"
#include "app/ui/Undo.h"
#include "app/ui/VisitHooks.h"

#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPointer>
#include <QProgressBar>
#include <QTimer>
#include <QUndoStack>
#include <cmath>
#include <limits>
#include <memory>
#include <stdexcept>

namespace {

// The transfer a map loop belongs to: every command that runs one has
// started it.
WindowTransfer& RunningTransfer()
{
    WindowTransfer* t = CurrentTransfer();
    if (!t)
        throw std::logic_error("a map transfer outside a transfer");
    return *t;
}

// The given points of one map as the variator gives them, with the progress
// bar: NaN at every other point and at each point whose exchange failed.
// Nothing is sent once the transfer has ended.
MapTable ReadVariatorPoints(WindowTransfer& t, int firstParameter, const QList<int>& points)
{
    MapTable read;
    SetSpeedAxis(read);
    for (double& uoz : read.Uoz)
        uoz = std::numeric_limits<double>::quiet_NaN();
    MapTally& tally = t.tally.Of(firstParameter);
    tally.planned += points.size();
    if (!t.Going() || points.isEmpty())
        return read;
    QProgressBar* bar = Form2->ProgressBar1;
    bar->setVisible(true);
    ReadMapPointList(VariatorPort, read, firstParameter, points, t.Sink(), t.Step(),
                     [&](const PointExchange& e) { return t.AfterPoint(tally, e.outcome, e.ok); });
    bar->setVisible(false);
    return read;
}

MapTable ReadVariatorMap(WindowTransfer& t, int firstParameter)
{
    return ReadVariatorPoints(t, firstParameter, AllMapPoints());
}

// Every point that arrived goes into the table; the others keep their values.
void ReadMap(MapTable& table, int firstParameter, MapTable* values)
{
    const MapTable read = ReadVariatorMap(RunningTransfer(), firstParameter);
    for (int i = 0; i < MapPoints; ++i)
        if (!std::isnan(read.Uoz[i]))
            table.Uoz[i] = read.Uoz[i];
    if (values)
        *values = read;
}

// Whether every point of a map that was read arrived.
bool Complete(const MapTable& read)
{
    for (double uoz : read.Uoz)
        if (std::isnan(uoz))
            return false;
    return true;
}

void WritePoints(const MapTable& table, int firstParameter, const QList<int>& points, const QString& caption,
                 const QString& mismatch, bool* allEchoed)
{
    WindowTransfer& t = RunningTransfer();
    MapTally& tally = t.tally.Of(firstParameter);
    tally.planned += points.size();
    int echoed = 0;
    if (t.Going() && !points.isEmpty()) {
        QProgressBar* bar = Form2->ProgressBar1;
        TLabel* label = Form2->LabelProgress;
        bar->setVisible(true);
        label->setText(caption);
        label->setVisible(true);
        WriteMapPointList(VariatorPort, table, firstParameter, points, mismatch, t.Sink(), t.Step(),
                          [&](const PointExchange& e) {
                              echoed += e.ok ? 1 : 0;
                              return t.AfterPoint(tally, e.outcome, e.ok);
                          });
        bar->setVisible(false);
        label->setVisible(false);
    }
    if (allEchoed)
        *allEchoed = echoed == points.size();
}

const QString LPGWriteCaption = QStringLiteral("Запись газовой карты в вариатор");
const QString PetrolWriteCaption = QStringLiteral("Запись бензиновой карты в вариатор");

// One setting's exchange within a transfer; false when it did not get
// through or was not made because the transfer had ended.
bool SettingExchange(WindowTransfer& t, ExchangeKind kind, unsigned char parameter, short data, int* value,
                     bool* tried, bool* done)
{
    if (!t.Going())
        return false;
    bool valid = false;
    ExchangeOutcome outcome = ExchangeOutcome::NotSent;
    *value = ExchangeFrame(VariatorPort, kind, parameter, data, t.Sink(), &valid, &outcome, t.Events());
    t.AfterSetting(tried, done, outcome, valid);
    return valid;
}

// A restore point of what went over the line; a point that cannot be saved
// costs the transfer nothing and is told once, after it.
void LeaveRestorePoint(TransferKind kind, const MapTable& lpg, const MapTable& petrol, const QString& startTimeout,
                       std::optional<int> firmware = std::nullopt)
{
    LeaveWindowRestorePoint(Form2, kind, VariatorPortNumber, lpg, petrol, startTimeout, firmware);
}

// Whether the status label shows the variator connected: its caption decides.
bool ShowsConnected(const QLabel* status)
{
    return status->text() == ConnectedCaption;
}

bool IsConnected(const TForm2* window)
{
    return ShowsConnected(window->Label2);
}

// Everything a write sends is checked before its first frame, so that a value
// that does not fit the data field cancels the whole write; the refusal goes
// to refuse. A start timeout that is not a number throws, as StrToInt does.
bool WriteFitsWire(const TForm2* window, const MessageSink& refuse, int* startTimeout)
{
    if (!MapsFitWire(LPGTable, PetrolTable, refuse))
        return false;
    *startTimeout = StrToInt(window->EEditVariatorStartTimeout->text());
    return StartTimeoutFitsWire(*startTimeout, refuse);
}

// While connected, each map's reference is what the variator is known to
// hold, with no value where that is unknown.
void SetHeldReference(MapReference& reference, int firstParameter)
{
    reference.exists = true;
    for (int i = 0; i < MapPoints; ++i) {
        short code = 0;
        reference.Uoz[i] = HeldPoint(firstParameter, i, &code) ? AdvanceFromThousandths(code)
                                                               : std::numeric_limits<double>::quiet_NaN();
    }
}

void ShowHeldReferences(TForm2* window)
{
    SetHeldReference(LPGReference, LPGFirstParameter);
    SetHeldReference(PetrolReference, PetrolFirstParameter);
    ShowReferences(window);
}

// The points of a map whose code the variator is not known to hold.
QList<int> ChangedPoints(const MapTable& table, int firstParameter)
{
    QList<int> points;
    for (int i = 0; i < MapPoints; ++i) {
        short held = 0;
        short code = 0;
        if (!HeldPoint(firstParameter, i, &held) || !AdvanceToThousandths(table.Uoz[i], &code) || held != code)
            points.append(i);
    }
    return points;
}

// Whether the variator is known to hold both maps and the start timeout.
bool HoldsEverything(int startTimeout)
{
    return ChangedPoints(LPGTable, LPGFirstParameter).isEmpty()
        && ChangedPoints(PetrolTable, PetrolFirstParameter).isEmpty() && VariatorHolds.timeoutKnown
        && VariatorHolds.timeout == startTimeout;
}

// Changes of the map store that a command of the device link makes itself
// (a read) are not written back by "Записывать изменения сразу".
int ChangeWritingMuted = 0;
struct MuteChangeWriting {
    MuteChangeWriting() { ++ChangeWritingMuted; }
    ~MuteChangeWriting() { --ChangeWritingMuted; }
};

// A pause of this length after the last change of the maps starts the write.
const int ChangeWritingPauseMs = 300;

bool LiveWriting(const TForm2* window)
{
    return window->N51 && window->N51->isChecked();
}

// Unticking stops the pending write too.
void StopLiveWriting(TForm2* window)
{
    if (window->N51)
        window->N51->setChecked(false);
}

// What "Записать изменения" does; live: started by a change of the maps,
// silent on success, and the first failure ends the live writing.
void WriteChanges(TForm2* window, bool live)
{
    if (!TransferMayStart())
        return;
    if (!IsConnected(window)) {
        if (live)
            return StopLiveWriting(window);
        return ShowDisconnected(window);
    }
    const MessageSink refuse = [window, live](const QString& text) {
        if (live)
            StopLiveWriting(window);
        ShowMessage(text);
    };
    int startTimeout = 0;
    try {
        if (!WriteFitsWire(window, refuse, &startTimeout))
            return;
    } catch (const std::exception&) {
        if (live)
            StopLiveWriting(window);
        throw;
    }

    // What goes out, and what the echoes are read back against, is the maps
    // as they are now.
    const MapTable lpg = LPGTable;
    const MapTable petrol = PetrolTable;
    const QList<int> lpgPoints = ChangedPoints(lpg, LPGFirstParameter);
    const QList<int> petrolPoints = ChangedPoints(petrol, PetrolFirstParameter);
    const bool timeoutChanged = !VariatorHolds.timeoutKnown || VariatorHolds.timeout != startTimeout;
    if (lpgPoints.isEmpty() && petrolPoints.isEmpty() && !timeoutChanged) {
        if (!live)
            ShowMessage(QStringLiteral("Изменений для записи нет"));
        return;
    }

    VisitBeforeTransfer(window, TransferKind::Write, live);
    WindowTransfer t(window, TransferKind::Write);
    WritePoints(lpg, LPGFirstParameter, lpgPoints, LPGWriteCaption, LPGWriteMismatch, nullptr);
    WritePoints(petrol, PetrolFirstParameter, petrolPoints, PetrolWriteCaption, PetrolWriteMismatch, nullptr);
    if (timeoutChanged) {
        t.tally.timeoutPlanned = true;
        int echo = 0;
        SettingExchange(t, ExchangeKind::Write, StartTimeoutParameter, static_cast<short>(startTimeout), &echo,
                        &t.tally.timeoutTried, &t.tally.timeoutDone);
    }
    // What was written is read back: the variator must hold it now.
    MapTally planned[2] = {t.tally.lpg, t.tally.petrol};
    const MapTable lpgBack = ReadVariatorPoints(t, LPGFirstParameter, lpgPoints);
    const MapTable petrolBack = ReadVariatorPoints(t, PetrolFirstParameter, petrolPoints);
    t.tally.lpg = planned[0];
    t.tally.petrol = planned[1];
    QList<int> lpgDiffering;
    QList<int> petrolDiffering;
    // A point whose read-back failed is unchecked, not differing: its
    // failure is counted already.
    if (t.Going()) {
        for (int i : lpgPoints)
            if (std::isnan(lpgBack.Uoz[i]))
                ++t.tally.unchecked;
            else if (!SameAdvance(lpgBack.Uoz[i], lpg.Uoz[i]))
                lpgDiffering.append(i);
        for (int i : petrolPoints)
            if (std::isnan(petrolBack.Uoz[i]))
                ++t.tally.unchecked;
            else if (!SameAdvance(petrolBack.Uoz[i], petrol.Uoz[i]))
                petrolDiffering.append(i);
    }
    ShowHeldReferences(window);
    // Everything known and written: the car holds these maps.
    if (HoldsEverything(startTimeout)) {
        KeepMaps(LPGTable, PetrolTable);
        // Live writing's states wait until one settles.
        if (live)
            VisitLiveWrote(window, LPGTable, PetrolTable, QString::number(startTimeout), VariatorPortNumber);
        else
            LeaveRestorePoint(TransferKind::Write, LPGTable, PetrolTable, QString::number(startTimeout));
    }
    const bool differing = !lpgDiffering.isEmpty() || !petrolDiffering.isEmpty();
    if (differing)
        t.tally.failures += lpgDiffering.size() + petrolDiffering.size();
    // A failure ends the live writing; a stop is the user's own, and the
    // tick stays as the user left it.
    if (live && NeedsSummary(t.tally) && t.tally.end != TransferEnd::Stopped)
        StopLiveWriting(window);
    if (differing)
        ShowMessage(ComparisonMessage(lpgDiffering, petrolDiffering));
    t.Finish();
}

}  // namespace

void ReadLPGMap(MapTable& table, MapTable* values) { ReadMap(table, LPGFirstParameter, values); }
void ReadPetrolMap(MapTable& table, MapTable* values) { ReadMap(table, PetrolFirstParameter, values); }

void WritePLGMap(MapTable& table, bool* allEchoed)
{
    WritePoints(table, LPGFirstParameter, AllMapPoints(), LPGWriteCaption, LPGWriteMismatch, allEchoed);
}

void WritePetrolMap(MapTable& table, bool* allEchoed)
{
    WritePoints(table, PetrolFirstParameter, AllMapPoints(), PetrolWriteCaption, PetrolWriteMismatch, allEchoed);
}

void TForm2::ReadDataClick()
{
    if (!TransferMayStart())
        return;
    const MuteChangeWriting mute;
    // Both maps read are one step.
    const MapStep step(this, QStringLiteral("Чтение данных из вариатора"));
    if (!IsConnected(this)) {
        ShowMessage(DisconnectedMessage);
        return;
    }

    VisitBeforeTransfer(this, TransferKind::Read);
    WindowTransfer t(this, TransferKind::Read);
    // What the variator holds becomes each map's reference before its views
    // reload.
    MapTable lpg;
    ReadLPGMap(LPGTable, &lpg);
    SetHeldReference(LPGReference, LPGFirstParameter);
    RefreshChart(this, QStringLiteral("LPG"));
    RefreshGrid(this, QStringLiteral("LPG"));

    MapTable petrol;
    ReadPetrolMap(PetrolTable, &petrol);
    SetHeldReference(PetrolReference, PetrolFirstParameter);
    RefreshChart(this, QStringLiteral("Petrol"));
    RefreshGrid(this, QStringLiteral("Petrol"));

    t.tally.timeoutPlanned = true;
    t.tally.firmwarePlanned = true;
    int timeout = 0;
    if (SettingExchange(t, ExchangeKind::Read, StartTimeoutParameter, SettingReadData, &timeout, nullptr,
                        &t.tally.timeoutDone))
        EEditVariatorStartTimeout->setText(QString::number(timeout));
    int version = 0;
    if (SettingExchange(t, ExchangeKind::Read, FirmwareParameter, SettingReadData, &version, nullptr,
                        &t.tally.firmwareDone))
        MicroCodeVersionEdit->setText(QString::number(version));

    // Every map point arrived: the maps are the car's, and a restore point
    // keeps them with what the settings gave.
    if (Complete(lpg) && Complete(petrol)) {
        KeepMaps(LPGTable, PetrolTable);
        LeaveRestorePoint(TransferKind::Read, lpg, petrol, t.tally.timeoutDone ? QString::number(timeout) : QString(),
                          t.tally.firmwareDone ? std::optional<int>(version) : std::nullopt);
    }
    t.Finish();
}

void TForm2::WriteDataClick()
{
    if (!TransferMayStart())
        return;
    if (!IsConnected(this)) {
        return ShowDisconnected(this);
    }

    int startTimeout = 0;
    if (!WriteFitsWire(this, ShowMessage, &startTimeout))
        return;

    VisitBeforeTransfer(this, TransferKind::Write);
    WindowTransfer t(this, TransferKind::Write);
    // What goes out is the maps as they are now.
    MapTable lpg = LPGTable;
    MapTable petrol = PetrolTable;
    bool lpgEchoed = false;
    bool petrolEchoed = false;
    WritePLGMap(lpg, &lpgEchoed);
    WritePetrolMap(petrol, &petrolEchoed);
    // The reply to the start timeout is not compared with anything.
    t.tally.timeoutPlanned = true;
    int echo = 0;
    SettingExchange(t, ExchangeKind::Write, StartTimeoutParameter, static_cast<short>(startTimeout), &echo,
                    &t.tally.timeoutTried, &t.tally.timeoutDone);
    ShowHeldReferences(this);

    // Every map point echoed: the car holds these maps.
    if (lpgEchoed && petrolEchoed) {
        KeepMaps(lpg, petrol);
        LeaveRestorePoint(TransferKind::Write, lpg, petrol, QString::number(startTimeout));
    }
    t.Finish();
}

// "Подключение" / "Сравнить с вариатором": reads both maps with the map
// exchanges of the read command into a copy of their own, never into the map
// store, makes what the variator holds the reference of both maps and says
// what differs. A point whose exchange failed (reported as a read reports
// it) counts as differing.
void TForm2::N19Click()
{
    if (!TransferMayStart())
        return;
    if (!IsConnected(this)) {
        ShowMessage(DisconnectedMessage);
        return;
    }
    WindowTransfer t(this, TransferKind::Compare);
    const MapTable lpg = ReadVariatorMap(t, LPGFirstParameter);
    const MapTable petrol = ReadVariatorMap(t, PetrolFirstParameter);
    ShowHeldReferences(this);
    if (t.tally.end == TransferEnd::RanThrough)
        ShowMessage(ComparisonMessage(DifferingPoints(LPGTable, lpg), DifferingPoints(PetrolTable, petrol)));
    if (Complete(lpg) && Complete(petrol))
        LeaveRestorePoint(TransferKind::Compare, lpg, petrol, QString());
    t.Finish();
}

void TForm2::N50Click()
{
    WriteChanges(this, false);
}

void SetupChangeWriting(TForm2* window)
{
    window->N50 = new QAction(QStringLiteral("Записать изменения"), window->N8);
    window->N50->setObjectName(QStringLiteral("N50"));
    window->N50->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_W));
    window->N50->setShortcutContext(Qt::WindowShortcut);
    window->N51 = new QAction(QStringLiteral("Записывать изменения сразу"), window->N8);
    window->N51->setObjectName(QStringLiteral("N51"));
    window->N51->setCheckable(true);
    window->N51->setChecked(false);
    // At the end of "Подключение", after "Сравнить с вариатором".
    window->N8->addActions({window->N50, window->N51});
    QObject::connect(window->N50, &QAction::triggered, window, [window] { RunHandler([window] { window->N50Click(); }); });

    auto* timer = new QTimer(window);
    timer->setObjectName(QStringLiteral("ChangeWritingTimer"));
    timer->setSingleShot(true);
    timer->setInterval(ChangeWritingPauseMs);
    QObject::connect(timer, &QTimer::timeout, window, [window, timer] {
        if (!LiveWriting(window))
            return;
        // A transfer in flight or a marker held: the changes wait for the
        // next pause after it.
        if (TransferRunning() || MarkerDragHeld(window)) {
            timer->start();
            return;
        }
        RunHandler([window] { WriteChanges(window, true); });
    });
    // The undo stack also reports its clearing while the window is taken
    // down: only controls still there are asked.
    const QPointer<QAction> live = window->N51;
    const QPointer<QLabel> status = window->Label2;
    QObject::connect(window->UndoStack, &QUndoStack::indexChanged, timer, [live, status, timer] {
        if (live && live->isChecked() && status && ShowsConnected(status) && !ChangeWritingMuted)
            timer->start();
    });
    QObject::connect(window->N51, &QAction::toggled, timer, [timer](bool on) {
        if (!on)
            timer->stop();
    });
}
