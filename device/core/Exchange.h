#pragma once

// One request/reply exchange with the variator, and the sinks through which
// the device link shows what it has to say.

#include <QString>
#include <functional>

class ComPort;

// Shows one message to the user and returns after it was seen.
using MessageSink = std::function<void(const QString& text)>;
// Called with the position (map point or port number) of each exchange.
using ProgressStep = std::function<void(int position)>;
// Called by an exchange once its request went out (or failed to), before the
// reply is awaited: what it does costs no time while the reply is on the line.
using WireStep = std::function<void()>;

// The sink of UARTdataExchange when interactive; the program installs
// ShowMessage. While none is installed an interactive exchange is silent.
void SetMessageSink(MessageSink sink);
const MessageSink& LinkMessageSink();

// The two request kinds: a read asks for a value, a write stores one.
enum class ExchangeKind {
    Read,
    Write
};
// "write" is a write; any other text is sent as a read.
ExchangeKind ExchangeKindOf(const QString& kind);

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

// The messages of a failed exchange.
extern const QString NotSentMessage;
extern const QString NoReplyMessage;
extern const QString BadChecksumMessage;
extern const QString ReportedChecksumMessage;   // error report, code 1
extern const QString ReportedParameterMessage;  // error report, code 2
extern const QString ReportedCodeMessage;       // any other code; the code follows

// Whether an outcome means that the link itself is gone (the port refuses the
// request, or the variator gives not one byte back), so that no further
// exchange can be expected to fare better. A spoilt or short reply, an error
// report or a wrong echo come from a variator that still answers.
bool LinkLost(ExchangeOutcome outcome);

// The same exchange over a given port; failures go to messages unless it is
// empty. When outcome is given, it is set to how the exchange ended.
// whileOnWire, when given, runs once right after the request was written
// (also when writing it failed), before any message of the exchange.
// Every exchange of a map point or the start timeout also tells the record of
// what the variator holds (VariatorHolds.h) what it learned.
int ExchangeFrame(ComPort* port, ExchangeKind kind, unsigned char parameter, short data,
                  const MessageSink& messages, bool* replyValid = nullptr,
                  ExchangeOutcome* outcome = nullptr, const WireStep& whileOnWire = {});
