#pragma once

#include "app/core/Advance.h"

#include <QString>
#include <functional>

class ComPort;
struct MapTable;

// The device link without a window: the exchange, the connection and the
// transfers. Whatever they show goes to a message sink; whatever they paint
// goes to a progress step or a status sink given by the caller.

// Shows one message to the user and returns after it was seen.
using MessageSink = std::function<void(const QString& text)>;
// Takes the connection state "connected" or "disconnected".
using StatusSink = std::function<void(const QString& key)>;
// Called with the position (map point or port number) of each exchange.
using ProgressStep = std::function<void(int position)>;
// Called by an exchange once its request went out (or failed to), before the
// reply is awaited: what it does costs no time while the reply is on the line.
using WireStep = std::function<void()>;

// The sink of UARTdataExchange when interactive; the program installs
// ShowMessage. While none is installed an interactive exchange is silent.
void SetMessageSink(MessageSink sink);
const MessageSink& LinkMessageSink();

// One request/reply exchange with the variator over VariatorPort.
// kind is "read" or "write" (any other text is sent as a read); returns the
// data field of the frame buffer at the end of the exchange as a signed 16-bit
// value. When interactive is nonzero, failures go to LinkMessageSink().
// When replyValid is given, it is set to true only for a complete reply with a
// correct checksum that is not an error report.
// What arrives without a request is discarded before the request goes out.
// When the request cannot be sent, or fewer than six bytes come back before
// the time-out ("Вариатор не отвечает"), the request's own data is returned:
// so a silent or half-answering port never gives the handshake (data 11) its
// 1, and callers of writes must look at replyValid, not at the echo alone.
int UARTdataExchange(const QString& kind, unsigned char parameter, short data,
                     unsigned char interactive, bool* replyValid = nullptr);

// How one exchange ended.
enum class ExchangeOutcome {
    Valid,        // a complete reply with a correct checksum, not an error report
    NotSent,      // the request could not be sent
    NoReply,      // not a single byte came back before the time-out
    ShortReply,   // the reply broke off before its sixth byte
    BadChecksum,  // the reply's checksum is wrong
    ErrorReport,  // the variator sent an error report
};

// The same exchange over a given port; failures go to messages unless it is
// empty. When outcome is given, it is set to how the exchange ended.
// whileOnWire, when given, runs once right after the request was written
// (also when writing it failed), before any message of the exchange.
int ExchangeFrame(ComPort* port, const QString& kind, unsigned char parameter, short data,
                  const MessageSink& messages, bool* replyValid = nullptr,
                  ExchangeOutcome* outcome = nullptr, const WireStep& whileOnWire = {});

// Connection to the variator.
// VariatorConnected is 1 after a successful handshake and keeps a second
// connect from reopening the port. PortName holds the device path of the
// most recently requested port number, "\\.\COM<n>" (empty for a number
// whose decimal form does not fit three characters).
extern unsigned char VariatorConnected;
extern char PortName[16];
// The number of the port whose variator answered the last successful
// handshake; 0 once it is disconnected.
extern int VariatorPortNumber;

void BuildPortName(int number);
// Whether the decimal form of a port number fits the three characters that
// the device path has room for (-99..999).
bool PortNumberFits(int number);
// Opens port `number` on port and shakes hands; 1 when the variator is
// connected by this call. While already connected it returns 0 and changes
// nothing. Numbers outside -99..999 are refused ("Неверный номер порта" when
// interactive) without touching port or status. Messages only when
// interactive; each change of the connection state goes to status.
unsigned char ConnectPort(ComPort* port, int number, unsigned char interactive,
                          const MessageSink& messages, const StatusSink& status);
// Closes VariatorPort and clears VariatorConnected; always 1.
unsigned char DisconnectVariator();
// Closes whatever is open, then tries the numbers first..end-1 silently
// (step before each) and stops at the first that answers. True and *found
// set when one answered.
bool SearchPorts(ComPort* port, int first, int end, const ProgressStep& step,
                 const StatusSink& status, int* found);

// One exchange of a map transfer, as its watcher sees it.
struct PointExchange {
    int point = 0;          // 0..79
    int parameter = 0;
    ExchangeOutcome outcome = ExchangeOutcome::Valid;
    int value = 0;          // what the exchange returned (a write: the echo)
    short sent = 0;         // a write: the code sent
    bool ok = false;        // a read: a valid reply; a write: a valid reply echoing the code
};
// Called after each exchange of a transfer; false ends the transfer there.
using PointWatch = std::function<bool(const PointExchange& exchange)>;

// Transfers between a map table and the variator, over port, one exchange
// per point. step(i) runs once for point i while its request is on the line
// (after the request went out, before its reply is read and before any
// message of the point), so a repaint there costs no transfer time. An exchange that gets no valid reply
// leaves the value it was meant to read as it was; a map point counts as
// written only when a valid reply echoes it, otherwise mismatch is shown and
// the transfer goes on with the next point. watch, when given, sees every
// exchange and may end the transfer after it.
void ReadMapPoints(ComPort* port, MapTable& table, int firstParameter, const MessageSink& messages,
                   const ProgressStep& step, const PointWatch& watch = PointWatch());
void WriteMapPoints(ComPort* port, const MapTable& table, int firstParameter, const QString& mismatch,
                    const MessageSink& messages, const ProgressStep& step,
                    const PointWatch& watch = PointWatch());
// The message of a map point that the variator did not echo.
extern const QString LPGWriteMismatch;
extern const QString PetrolWriteMismatch;
// Whether a value fits the 16-bit data field.
bool FitsData(long long value);
// The message that cancels a write before anything is sent.
void RefuseWrite(const QString& where, const MessageSink& messages);
// Checks every point of a map; on the first that does not fit shows the
// refusal and returns false.
bool MapFitsWire(const MapTable& table, const QString& mapName, const MessageSink& messages);
// One write of the start timeout (parameter 166); returns what the exchange
// returned. value must fit 16 bits; WriteDataClick checks that beforehand.
int WriteStartTimeout(int value);

// An advance goes on the wire by AdvanceToThousandths (app/core/Advance.h).
