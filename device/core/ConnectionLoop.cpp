#include "device/core/ConnectionLoop.h"

#include "device/core/VariatorHolds.h"

#include "device/wire/ComPort.h"
#include "device/wire/Frame.h"

#include <cstdio>

unsigned char VariatorConnected = 0;
char PortName[16] = {};
int VariatorPortNumber = 0;

namespace {

const char PortPrefix[] = "\\\\.\\COM";

// Time-out T (ms) of an interactive connect, of the silent search, and of
// the link once a variator has answered.
const int InteractiveTimeoutMs = 1000;
const int SilentTimeoutMs = 500;
const int ConnectedTimeoutMs = 1000;

void Show(const MessageSink& messages, unsigned char interactive, const QString& text)
{
    if (interactive && messages)
        messages(text);
}

void Status(const StatusSink& status, ConnectionStatus state)
{
    if (status)
        status(state);
}

}  // namespace

QString StatusKey(ConnectionStatus status)
{
    return status == ConnectionStatus::Connected ? QStringLiteral("connected") : QStringLiteral("disconnected");
}

bool StatusOfKey(const QString& key, ConnectionStatus* status)
{
    for (ConnectionStatus s : {ConnectionStatus::Connected, ConnectionStatus::Disconnected}) {
        if (key == StatusKey(s)) {
            *status = s;
            return true;
        }
    }
    return false;
}

bool PortNumberFits(int number)
{
    return number >= -99 && number <= 999;
}

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

unsigned char ConnectPort(ComPort* port, int number, unsigned char interactive,
                          const MessageSink& messages, const StatusSink& status)
{
    BuildPortName(number);

    // Already connected: nothing is connected by this call, so the result is
    // 0, and port, flag and status stay as they are.
    if (VariatorConnected) {
        Show(messages, interactive, QStringLiteral("Вариатор уже подключен"));
        return 0;
    }

    if (!PortNumberFits(number)) {
        Show(messages, interactive, QStringLiteral("Неверный номер порта"));
        return 0;
    }

    // A port left open by a connect that got no answer is closed before it
    // is opened again, so that a later connect can succeed.
    if (port && port->IsOpen())
        port->Close();
    // Whatever was known belongs to the variator of an earlier connection.
    ForgetHeldValues();
    const int timeout = interactive ? InteractiveTimeoutMs : SilentTimeoutMs;
    if (!port || !port->Open(PortName, VariatorBaudRate, timeout)) {
        Show(messages, interactive, QStringLiteral("Не удалось подключиться"));
        Status(status, ConnectionStatus::Disconnected);
        return 0;
    }

    port->Purge();

    if (ExchangeFrame(port, ExchangeKind::Read, HandshakeParameter, HandshakeData, MessageSink())
        == HandshakeAnswer) {
        Show(messages, interactive, QStringLiteral("Вариатор подключен"));
        VariatorConnected = 1;
        VariatorPortNumber = number;
        Status(status, ConnectionStatus::Connected);
        port->SetTimeouts(ConnectedTimeoutMs);
        return 1;
    }

    // The port stays open, as the message says; only "Отключиться" (or the
    // search) closes it.
    Show(messages, interactive, QStringLiteral("Компорт открыт. Вариатор не подключен"));
    VariatorConnected = 0;
    VariatorPortNumber = 0;
    Status(status, ConnectionStatus::Disconnected);
    return 0;
}

unsigned char DisconnectVariator()
{
    if (VariatorPort)
        VariatorPort->Close();
    VariatorConnected = 0;
    VariatorPortNumber = 0;
    ForgetHeldValues();
    return 1;
}

bool SearchPorts(ComPort* port, int first, int end, const ProgressStep& step,
                 const StatusSink& status, int* found)
{
    // Whatever is open (a connected variator, or a port left open by a
    // connect that got no answer) is closed first, so that every number of
    // the range is really tried.
    if (port)
        port->Close();
    VariatorConnected = 0;
    ForgetHeldValues();

    for (int number = first; number < end; ++number) {
        if (step)
            step(number);
        if (ConnectPort(port, number, 0, MessageSink(), status)) {
            if (found)
                *found = number;
            return true;
        }
        if (port)
            port->Close();
        VariatorConnected = 0;
    }
    return false;
}
