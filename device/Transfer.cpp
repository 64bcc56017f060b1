#include "DeviceCommands.h"

#include "ChartEditor.h"
#include "ComPort.h"
#include "Frame.h"
#include "Gui2.h"
#include "MapStore.h"
#include "NumberText.h"
#include "Seams.h"
#include "TableEditor.h"
#include "Undo.h"

#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>

namespace {

const QString ReadKind = QStringLiteral("read");

// Form2's progress bar moved to point i and painted at once.
void ShowPoint(int i)
{
    QProgressBar* bar = Form2->ProgressBar1;
    bar->setValue(i);
    RepaintNow(bar);
}

void ReadMap(MapTable& table, int firstParameter)
{
    QProgressBar* bar = Form2->ProgressBar1;
    bar->setVisible(true);
    ReadMapPoints(VariatorPort, table, firstParameter, ShowMessage, ShowPoint);
    bar->setVisible(false);
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

void ReadLPGMap(MapTable& table) { ReadMap(table, LPGFirstParameter); }
void ReadPetrolMap(MapTable& table) { ReadMap(table, PetrolFirstParameter); }

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

    ReadLPGMap(LPGTable);
    RefreshChart(this, QStringLiteral("LPG"));
    RefreshGrid(this, QStringLiteral("LPG"));

    ReadPetrolMap(PetrolTable);
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
