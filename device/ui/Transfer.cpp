#include "device/ui/DeviceCommands.h"

#include "editors/ui/ChartEditor.h"
#include "device/wire/ComPort.h"
#include "device/wire/Frame.h"
#include "app/ui/Gui2.h"
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

void WriteMap(const MapTable& table, int firstParameter, const QString& caption, const QString& mismatch)
{
    QProgressBar* bar = Form2->ProgressBar1;
    TLabel* label = Form2->LabelProgress;
    bar->setVisible(true);
    label->setText(caption);
    label->setVisible(true);
    WriteMapPoints(VariatorPort, table, firstParameter, mismatch, ShowMessage, ShowPoint);
    bar->setVisible(false);
    label->setVisible(false);
}

bool IsConnected(const TForm2* window)
{
    return window->Label2->text() == QStringLiteral("Подключен");
}

} // namespace

void ReadLPGMap(MapTable& table, MapTable* values) { ReadMap(table, LPGFirstParameter, values); }
void ReadPetrolMap(MapTable& table, MapTable* values) { ReadMap(table, PetrolFirstParameter, values); }

void WritePLGMap(MapTable& table)
{
    WriteMap(table, LPGFirstParameter, QStringLiteral("Запись газовой карты в вариатор"), LPGWriteMismatch);
}

void WritePetrolMap(MapTable& table)
{
    WriteMap(table, PetrolFirstParameter, QStringLiteral("Запись бензиновой карты в вариатор"), PetrolWriteMismatch);
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
    MapTable read;
    ReadLPGMap(LPGTable, &read);
    SetMapReference(LPGReference, read);
    RefreshChart(this, QStringLiteral("LPG"));
    RefreshGrid(this, QStringLiteral("LPG"));

    ReadPetrolMap(PetrolTable, &read);
    SetMapReference(PetrolReference, read);
    RefreshChart(this, QStringLiteral("Petrol"));
    RefreshGrid(this, QStringLiteral("Petrol"));

    bool valid = false;
    const int timeout = UARTdataExchange(ReadKind, StartTimeoutParameter, SettingReadData, 1, &valid);
    if (valid)
        EEditVariatorStartTimeout->setText(QString::number(timeout));
    const int version = UARTdataExchange(ReadKind, FirmwareParameter, SettingReadData, 1, &valid);
    if (valid)
        MicroCodeVersionEdit->setText(QString::number(version));
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

    WritePLGMap(LPGTable);
    WritePetrolMap(PetrolTable);
    WriteStartTimeout(startTimeout);
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
}
