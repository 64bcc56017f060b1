#include "device/ui/DeviceCommands.h"

#include "editors/ui/ChartEditor.h"
#include "device/wire/ComPort.h"
#include "device/wire/Frame.h"
#include "app/ui/Gui2.h"
#include "app/core/History.h"
#include "app/core/KeptMaps.h"
#include "app/core/MapCompare.h"
#include "app/core/MapStore.h"
#include "app/core/NumberText.h"
#include "editors/ui/ReferenceView.h"
#include "app/widgets/Seams.h"
#include "editors/ui/TableEditor.h"
#include "app/ui/Undo.h"

#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <cmath>
#include <limits>

namespace {

const QString ReadKind = QStringLiteral("read");

// Form2's progress bar moved to point i and painted at once.
void ShowPoint(int i)
{
    QProgressBar* bar = Form2->ProgressBar1;
    bar->setValue(i);
    RepaintNow(bar);
}

// One map as the variator gives it, with the progress bar: NaN at a point
// whose exchange failed.
MapTable ReadVariatorMap(int firstParameter)
{
    MapTable read;
    SetSpeedAxis(read);
    for (double& uoz : read.Uoz)
        uoz = std::numeric_limits<double>::quiet_NaN();
    QProgressBar* bar = Form2->ProgressBar1;
    bar->setVisible(true);
    ReadMapPoints(VariatorPort, read, firstParameter, ShowMessage, ShowPoint);
    bar->setVisible(false);
    return read;
}

// Every point that arrived goes into the table; the others keep their values.
void ReadMap(MapTable& table, int firstParameter, MapTable* values)
{
    const MapTable read = ReadVariatorMap(firstParameter);
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

void WriteMap(const MapTable& table, int firstParameter, const QString& caption, const QString& mismatch,
              bool* allEchoed)
{
    QProgressBar* bar = Form2->ProgressBar1;
    TLabel* label = Form2->LabelProgress;
    bar->setVisible(true);
    label->setText(caption);
    label->setVisible(true);
    int echoed = 0;
    WriteMapPoints(VariatorPort, table, firstParameter, mismatch, ShowMessage, ShowPoint,
                   [&echoed](const PointExchange& e) {
                       echoed += e.ok ? 1 : 0;
                       return true;
                   });
    bar->setVisible(false);
    label->setVisible(false);
    if (allEchoed)
        *allEchoed = echoed == MapPoints;
}

// A restore point of what went over the line; a point that cannot be saved
// costs the transfer nothing and is told once, after it.
void LeaveRestorePoint(TransferKind kind, const MapTable& lpg, const MapTable& petrol, const QString& startTimeout,
                       std::optional<int> firmware = std::nullopt)
{
    const QString failure = ::LeaveRestorePoint(kind, VariatorPortNumber, lpg, petrol, startTimeout, firmware,
                                                Form2->CarNoteEdit->text().trimmed());
    if (!failure.isEmpty())
        ShowMessage(failure);
}

bool IsConnected(const TForm2* window)
{
    return window->Label2->text() == QStringLiteral("Подключен");
}

} // namespace

int LastReadPort = 0;

void ReadLPGMap(MapTable& table, MapTable* values) { ReadMap(table, LPGFirstParameter, values); }
void ReadPetrolMap(MapTable& table, MapTable* values) { ReadMap(table, PetrolFirstParameter, values); }

void WritePLGMap(MapTable& table, bool* allEchoed)
{
    WriteMap(table, LPGFirstParameter, QStringLiteral("Запись газовой карты в вариатор"), LPGWriteMismatch,
             allEchoed);
}

void WritePetrolMap(MapTable& table, bool* allEchoed)
{
    WriteMap(table, PetrolFirstParameter, QStringLiteral("Запись бензиновой карты в вариатор"), PetrolWriteMismatch,
             allEchoed);
}

void TForm2::ReadDataClick()
{
    // Both maps read are one step.
    const MapStep step(this, QStringLiteral("Чтение данных из вариатора"));
    if (!IsConnected(this)) {
        ShowMessage(QStringLiteral("Вариатор отключен"));
        return;
    }

    // What was read becomes each map's reference before its views reload.
    MapTable lpg;
    ReadLPGMap(LPGTable, &lpg);
    SetMapReference(LPGReference, lpg);
    RefreshChart(this, QStringLiteral("LPG"));
    RefreshGrid(this, QStringLiteral("LPG"));

    MapTable petrol;
    ReadPetrolMap(PetrolTable, &petrol);
    SetMapReference(PetrolReference, petrol);
    RefreshChart(this, QStringLiteral("Petrol"));
    RefreshGrid(this, QStringLiteral("Petrol"));

    bool timeoutValid = false;
    const int timeout = UARTdataExchange(ReadKind, StartTimeoutParameter, SettingReadData, 1, &timeoutValid);
    if (timeoutValid)
        EEditVariatorStartTimeout->setText(QString::number(timeout));
    bool versionValid = false;
    const int version = UARTdataExchange(ReadKind, FirmwareParameter, SettingReadData, 1, &versionValid);
    if (versionValid)
        MicroCodeVersionEdit->setText(QString::number(version));

    // Every map point arrived: the maps are the car's, and a restore point
    // keeps them with what the settings gave.
    if (Complete(lpg) && Complete(petrol)) {
        KeepMaps(LPGTable, PetrolTable);
        LastReadPort = VariatorPortNumber;
        LeaveRestorePoint(TransferKind::Read, lpg, petrol, timeoutValid ? QString::number(timeout) : QString(),
                          versionValid ? std::optional<int>(version) : std::nullopt);
    }
}

void TForm2::WriteDataClick()
{
    if (!IsConnected(this)) {
        SetConnectionStatus(this, QStringLiteral("disconnected"));
        ShowMessage(QStringLiteral("Вариатор отключен"));
        return;
    }

    // Everything is checked before the first frame goes out, so that a value
    // that does not fit the data field cancels the whole write.
    if (!MapFitsWire(LPGTable, QStringLiteral("карта газа"), ShowMessage)
        || !MapFitsWire(PetrolTable, QStringLiteral("карта бензина"), ShowMessage))
        return;
    const int startTimeout = StrToInt(EEditVariatorStartTimeout->text());
    if (!FitsData(startTimeout)) {
        RefuseWrite(QStringLiteral("(время до включения вариатора)"), ShowMessage);
        return;
    }

    bool lpgEchoed = false;
    bool petrolEchoed = false;
    WritePLGMap(LPGTable, &lpgEchoed);
    WritePetrolMap(PetrolTable, &petrolEchoed);
    WriteStartTimeout(startTimeout);

    // Every map point echoed: the car holds these maps.
    if (lpgEchoed && petrolEchoed) {
        KeepMaps(LPGTable, PetrolTable);
        LeaveRestorePoint(TransferKind::Write, LPGTable, PetrolTable, QString::number(startTimeout));
    }
}

// "Подключение" / "Сравнить с вариатором": reads both maps with the map
// exchanges of the read command into a copy of their own, never into the map
// store, makes that copy the reference of both maps and says what differs. A
// point whose exchange failed (reported as a read reports it) counts as
// differing.
void TForm2::N19Click()
{
    if (!IsConnected(this)) {
        ShowMessage(QStringLiteral("Вариатор отключен"));
        return;
    }
    const MapTable lpg = ReadVariatorMap(LPGFirstParameter);
    const MapTable petrol = ReadVariatorMap(PetrolFirstParameter);
    SetMapReference(LPGReference, lpg);
    SetMapReference(PetrolReference, petrol);
    ShowReferences(this);
    ShowMessage(ComparisonMessage(DifferingPoints(LPGTable, lpg), DifferingPoints(PetrolTable, petrol)));
    if (Complete(lpg) && Complete(petrol))
        LeaveRestorePoint(TransferKind::Compare, lpg, petrol, QString());
}
