#include "Dataextractor.h"

#include "ChartEditor.h"
#include "Gui2.h"
#include "MapStore.h"
#include "NumberText.h"
#include "Seams.h"
#include "TableEditor.h"
#include "Undo.h"

#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <cmath>
#include <cstdint>

namespace {

// Parameter numbers of the variator.
const int PetrolFirstParameter = 0;   // petrol point i is parameter i
const int LPGFirstParameter = 80;     // LPG point i is parameter 80 + i
const unsigned char FirmwareParameter = 160;
const unsigned char StartTimeoutParameter = 166;

// The data field of read requests; its meaning belongs to the variator.
const short MapReadData = 100;
const short SettingReadData = 1000;

const int RpmStep = 100;

const QString ReadKind = QStringLiteral("read");
const QString WriteKind = QStringLiteral("write");

const QString LPGMismatch = QStringLiteral("WritePLGMap: функция UARTdataExchange возвращает неверное значение");
const QString PetrolMismatch = QStringLiteral("WritePetrolMap: функция UARTdataExchange возвращает неверное значение");

bool FitsData(long long value)
{
    return value >= INT16_MIN && value <= INT16_MAX;
}

// Reads the 80 points of one map; a point whose exchange got no valid reply
// keeps its value.
void ReadMap(MapTable& table, int firstParameter)
{
    QProgressBar* bar = Form2->ProgressBar1;
    bar->setVisible(true);
    for (int i = 0; i < MapPoints; ++i) {
        bar->setValue(i);
        RepaintNow(bar);
        bool valid = false;
        const int value = UARTdataExchange(ReadKind, static_cast<unsigned char>(firstParameter + i),
                                           MapReadData, 1, &valid);
        if (valid)
            table.Uoz[i] = value / 1000.0;
    }
    bar->setVisible(false);
}

// Writes the 80 points of one map. A point counts as written only when a
// valid reply echoes the value sent; otherwise the map's mismatch message is
// shown and the transfer goes on with the next point.
void WriteMap(const MapTable& table, int firstParameter, const QString& caption, const QString& mismatch)
{
    QProgressBar* bar = Form2->ProgressBar1;
    QLabel* label = Form2->LabelProgress;
    bar->setVisible(true);
    label->setText(caption);
    label->setVisible(true);
    for (int i = 0; i < MapPoints; ++i) {
        bar->setValue(i);
        RepaintNow(bar);
        short code = 0;
        if (!AdvanceToThousandths(table.Uoz[i], &code)) {
            // Never sent: it would not fit the data field.
            ShowMessage(mismatch);
            continue;
        }
        bool valid = false;
        const int echo = UARTdataExchange(WriteKind, static_cast<unsigned char>(firstParameter + i), code, 1, &valid);
        if (!valid || echo != code)
            ShowMessage(mismatch);
    }
    bar->setVisible(false);
    label->setVisible(false);
}

// The message that cancels a write before anything is sent.
void RefuseWrite(const QString& where)
{
    ShowMessage(QStringLiteral("Запись отменена: значение вне допустимого диапазона ") + where);
}

// Checks every point of a map; on the first that does not fit shows the
// refusal and returns false.
bool MapFitsWire(const MapTable& table, const QString& mapName)
{
    short code = 0;
    for (int i = 0; i < MapPoints; ++i) {
        if (!AdvanceToThousandths(table.Uoz[i], &code)) {
            RefuseWrite(QStringLiteral("(%1, %2 об/мин)").arg(mapName).arg(i * RpmStep));
            return false;
        }
    }
    return true;
}

bool IsConnected(const TForm2* window)
{
    return window->Label2->text() == QStringLiteral("Подключен");
}

} // namespace

bool AdvanceToThousandths(double uoz, short* code)
{
    const double thousandths = uoz * 1000.0;
    // Also false for NaN, and keeps llround within range.
    if (!(std::fabs(thousandths) < 1e9))
        return false;
    // Rounded to a millionth of a thousandth first: 1.001 * 1000 is
    // 1000.9999999999999, which must go out as 1001, not 1000, and so must
    // the sum of ten steps of 0.01 (0.09999999999999999) go out as 100.
    // Integer division then truncates toward zero.
    const long long millionths = std::llround(thousandths * 1e6);
    const long long value = millionths / 1000000;
    if (!FitsData(value))
        return false;
    *code = static_cast<short>(value);
    return true;
}

void ReadLPGMap(MapTable& table) { ReadMap(table, LPGFirstParameter); }
void ReadPetrolMap(MapTable& table) { ReadMap(table, PetrolFirstParameter); }

void WritePLGMap(MapTable& table)
{
    WriteMap(table, LPGFirstParameter, QStringLiteral("Запись газовой карты в вариатор"), LPGMismatch);
}

void WritePetrolMap(MapTable& table)
{
    WriteMap(table, PetrolFirstParameter, QStringLiteral("Запись бензиновой карты в вариатор"), PetrolMismatch);
}

int WriteStartTimeout(int value)
{
    // A value that does not fit the data field is not sent at all.
    if (!FitsData(value))
        return 0;
    return UARTdataExchange(WriteKind, StartTimeoutParameter, static_cast<short>(value), 1);
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
    if (!MapFitsWire(LPGTable, QStringLiteral("карта газа"))
        || !MapFitsWire(PetrolTable, QStringLiteral("карта бензина")))
        return;
    const int startTimeout = StrToInt(EEditVariatorStartTimeout->text());
    if (!FitsData(startTimeout)) {
        RefuseWrite(QStringLiteral("(время до включения вариатора)"));
        return;
    }

    WritePLGMap(LPGTable);
    WritePetrolMap(PetrolTable);
    WriteStartTimeout(startTimeout);
}
