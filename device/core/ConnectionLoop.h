#pragma once

// The connection to the variator: the port path, the handshake, the port
// search and the disconnect.

#include "device/core/Exchange.h"

#include <QString>
#include <functional>

// The two states the status indicator shows.
enum class ConnectionStatus {
    Connected,
    Disconnected
};
// The key text of a state: "connected" or "disconnected".
QString StatusKey(ConnectionStatus status);
// The state a key names; false for any other text.
bool StatusOfKey(const QString& key, ConnectionStatus* status);
// Takes each change of the connection state.
using StatusSink = std::function<void(ConnectionStatus status)>;

// VariatorConnected is 1 after a successful handshake and keeps a second
// connect from reopening the port. PortName holds the device path of the
// most recently requested port number, "\\.\COM<n>" (empty for a number
// whose decimal form does not fit three characters).
extern unsigned char VariatorConnected;
extern char PortName[16];
// The number of the port whose variator answered the last successful
// handshake; 0 once it is disconnected.
extern int VariatorPortNumber;

// The port numbers the port box lists and a port search tries, ascending.
constexpr int FirstListedPort = 1, LastListedPort = 254;

void BuildPortName(int number);
// Whether the decimal form of a port number fits the three characters that
// the device path has room for (-99..999).
bool PortNumberFits(int number);
// Opens port `number` on port and shakes hands; 1 when the variator is
// connected by this call. While already connected it returns 0 and changes
// nothing. Numbers outside -99..999 are refused ("Неверный номер порта" when
// interactive) without touching port or status. Messages only when
// interactive; each change of the connection state goes to status. Nothing is
// known of what the variator holds until it is read or written.
unsigned char ConnectPort(ComPort* port, int number, unsigned char interactive,
                          const MessageSink& messages, const StatusSink& status);
// Closes VariatorPort and clears VariatorConnected; always 1. What the
// variator holds is unknown from then on.
unsigned char DisconnectVariator();
// Closes whatever is open, then tries the numbers first..end-1 silently
// (step before each) and stops at the first that answers. True and *found
// set when one answered.
bool SearchPorts(ComPort* port, int first, int end, const ProgressStep& step,
                 const StatusSink& status, int* found);
