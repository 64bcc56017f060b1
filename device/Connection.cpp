#include "Dataextractor.h"

#include "ComPort.h"
#include "Gui2.h"
#include "NumberText.h"
#include "Seams.h"

#include <QComboBox>
#include <QLabel>
#include <QProgressBar>
#include <cstdio>

unsigned char VariatorConnected = 0;
char PortName[16] = {};

namespace {

const char PortPrefix[] = "\\\\.\\COM";

// The handshake: a silent read of parameter 255 with data 11; a variator
// answers 1.
const unsigned char HandshakeParameter = 255;
const short HandshakeData = 11;

// Time-out T (ms) of an interactive connect, of the silent search, and of
// the link once a variator has answered.
const int InteractiveTimeoutMs = 1000;
const int SilentTimeoutMs = 500;
const int ConnectedTimeoutMs = 1000;

const QString ScanCaption = QStringLiteral("Попытка подключения к com-порту");

// Whether the decimal form of a port number fits the three characters that
// the device path has room for.
bool PortNumberFits(int number)
{
    return number >= -99 && number <= 999;
}

} // namespace

void BuildPortName(int number)
{
    // A number whose decimal form is longer than three characters would not
    // fit; it leaves an empty path, which names no device.
    if (!PortNumberFits(number)) {
        PortName[0] = '\0';
        return;
    }
    std::snprintf(PortName, sizeof PortName, "%s%d", PortPrefix, number);
}

unsigned char ConnectVariator(int number, unsigned char interactive)
{
    BuildPortName(number);

    // Already connected: nothing is connected by this call, so the result is
    // 0, and port, flag and status stay as they are.
    if (VariatorConnected) {
        if (interactive)
            ShowMessage(QStringLiteral("Вариатор уже подключен"));
        return 0;
    }

    if (!PortNumberFits(number)) {
        if (interactive)
            ShowMessage(QStringLiteral("Неверный номер порта"));
        return 0;
    }

    const int timeout = interactive ? InteractiveTimeoutMs : SilentTimeoutMs;
    if (!VariatorPort || !VariatorPort->Open(PortName, VariatorBaudRate, timeout)) {
        if (interactive)
            ShowMessage(QStringLiteral("Не удалось подключиться"));
        SetConnectionStatus(Form2, QStringLiteral("disconnected"));
        return 0;
    }

    VariatorPort->Purge();

    if (UARTdataExchange(QStringLiteral("read"), HandshakeParameter, HandshakeData, 0) == 1) {
        if (interactive)
            ShowMessage(QStringLiteral("Вариатор подключен"));
        VariatorConnected = 1;
        SetConnectionStatus(Form2, QStringLiteral("connected"));
        VariatorPort->SetTimeouts(ConnectedTimeoutMs);
        return 1;
    }

    // The port stays open, as the message says; only "Отключиться" (or the
    // search) closes it.
    if (interactive)
        ShowMessage(QStringLiteral("Компорт открыт. Вариатор не подключен"));
    VariatorConnected = 0;
    SetConnectionStatus(Form2, QStringLiteral("disconnected"));
    return 0;
}

unsigned char DisconnectVariator()
{
    if (VariatorPort)
        VariatorPort->Close();
    VariatorConnected = 0;
    return 1;
}

int AutoSelectPort(int first, int end)
{
    QProgressBar* bar = Form2->ProgressBar1;
    TLabel* label = Form2->LabelProgress;

    // Whatever is open (a connected variator, or a port left open by a
    // connect that got no answer) is closed first, so that every number of
    // the range is really tried.
    DisconnectVariator();

    bar->setValue(0);
    label->setText(ScanCaption);
    bar->setVisible(true);
    label->setVisible(true);

    const int savedMaximum = bar->maximum();
    const int savedMinimum = bar->minimum();
    bar->setMaximum(end);
    bar->setMinimum(first);

    for (int number = first; number < end; ++number) {
        label->setText(ScanCaption + QString::number(number));
        RepaintNow(label);
        bar->setValue(number);
        RepaintNow(bar);
        if (ConnectVariator(number, 0)) {
            Form2->ComboBox1->setEditText(QString::number(number));
            break;
        }
        DisconnectVariator();
    }

    bar->setMaximum(savedMaximum);
    bar->setMinimum(savedMinimum);
    bar->setVisible(false);
    label->setVisible(false);
    return 0;
}

void TForm2::N9Click()
{
    // The device path is built from the number, not from the text: "05" and
    // "$5" both name port 5.
    const int number = StrToInt(ComboBox1->currentText());
    if (number == 0 || !PortNumberFits(number)) {
        ShowMessage(QStringLiteral("Неверный номер порта"));
        return;
    }
    ConnectVariator(number, 1);
}

void TForm2::N4Click()
{
    AutoSelectPort(1, 255);
}

void TForm2::N12Click()
{
    DisconnectVariator();
    SetConnectionStatus(this, QStringLiteral("disconnected"));
    ShowMessage(QStringLiteral("Вариатор отключен"));
}

void TForm2::FormClose()
{
    DisconnectVariator();
    DeleteVariatorPort();
    SetConnectionStatus(this, QStringLiteral("disconnected"));
    ShowMessage(QStringLiteral("Вариатор отключен"));
}
