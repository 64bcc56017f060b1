#include "device/ui/DeviceCommands.h"

#include "device/wire/ComPort.h"
#include "app/ui/Gui2.h"
#include "app/core/NumberText.h"
#include "app/widgets/Seams.h"

#include <QComboBox>
#include <QLabel>
#include <QProgressBar>

namespace {

const QString ScanCaption = QStringLiteral("Попытка подключения к com-порту");

void ShowStatus(ConnectionStatus status)
{
    SetConnectionStatus(Form2, status);
}

}  // namespace

unsigned char ConnectVariator(int number, unsigned char interactive)
{
    return ConnectPort(VariatorPort, number, interactive, LinkMessageSink(), ShowStatus);
}

int AutoSelectPort(int first, int end)
{
    QProgressBar* bar = Form2->ProgressBar1;
    TLabel* label = Form2->LabelProgress;

    bar->setValue(0);
    label->setText(ScanCaption);
    bar->setVisible(true);
    label->setVisible(true);

    const int savedMaximum = bar->maximum();
    const int savedMinimum = bar->minimum();
    bar->setMaximum(end);
    bar->setMinimum(first);

    int found = 0;
    const auto step = [bar, label](int number) {
        label->setText(ScanCaption + QString::number(number));
        RepaintNow(label);
        bar->setValue(number);
        RepaintNow(bar);
    };
    if (SearchPorts(VariatorPort, first, end, step, ShowStatus, &found))
        Form2->ComboBox1->setEditText(QString::number(found));

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
    AutoSelectPort(FirstListedPort, LastListedPort + 1);
}

const QString DisconnectedMessage = QStringLiteral("Вариатор отключен");

void ShowDisconnected(TForm2* window)
{
    SetConnectionStatus(window, ConnectionStatus::Disconnected);
    ShowMessage(DisconnectedMessage);
}

void TForm2::N12Click()
{
    DisconnectVariator();
    ShowDisconnected(this);
}

void TForm2::FormClose()
{
    DisconnectVariator();
    DeleteVariatorPort();
    ShowDisconnected(this);
}
