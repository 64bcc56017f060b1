#pragma once

#include <QString>

class TForm2;
struct MapTable;

// One request/reply exchange with the variator over VariatorPort.
// kind is "read" or "write" (any other text is sent as a read); returns the
// data field of the frame buffer at the end of the exchange as a signed 16-bit
// value. When interactive is nonzero, failures are reported in message boxes.
// When replyValid is given, it is set to true only for a complete reply with a
// correct checksum that is not an error report.
// What arrives without a request is discarded before the request goes out.
// When the request cannot be sent, or fewer than six bytes come back before
// the time-out ("Вариатор не отвечает"), the request's own data is returned:
// so a silent or half-answering port never gives the handshake (data 11) its
// 1, and callers of writes must look at replyValid, not at the echo alone.
int UARTdataExchange(const QString& kind, unsigned char parameter, short data,
                     unsigned char interactive, bool* replyValid = nullptr);

// Connection to the variator.
// VariatorConnected is 1 after a successful handshake and keeps a second
// connect from reopening the port. PortName holds the device path of the
// most recently requested port number, "\\.\COM<n>" (empty for a number
// whose decimal form does not fit three characters).
extern unsigned char VariatorConnected;
extern char PortName[16];

void BuildPortName(int number);
// Opens port `number` and shakes hands; 1 when the variator is connected by
// this call. While already connected it returns 0 and changes nothing.
// Numbers outside -99..999 are refused ("Неверный номер порта" when
// interactive) without touching port or status.
unsigned char ConnectVariator(int number, unsigned char interactive);
// Closes the port and clears VariatorConnected; always 1.
unsigned char DisconnectVariator();
// Closes whatever is open, then tries the numbers first..end-1 silently and
// stops at the first that answers, writing it into the port box. Always 0.
int AutoSelectPort(int first, int end);

// Transfers between the map store and the variator.
// An exchange that gets no valid reply leaves the value it was meant to read
// as it was; a map point counts as written only when a valid reply echoes it.
void ReadLPGMap(MapTable& table);
void ReadPetrolMap(MapTable& table);
void WritePLGMap(MapTable& table);
void WritePetrolMap(MapTable& table);
// One write of the start timeout (parameter 166); returns what the exchange
// returned. value must fit 16 bits; WriteDataClick checks that beforehand.
int WriteStartTimeout(int value);

// An advance in degrees as the signed thousandths that go on the wire:
// truncated toward zero (12.3456 gives 12345, -4.0009 gives -4000), after the
// representation error of the double has been absorbed, so that c / 1000.0
// gives back c for every 16-bit code c. False when the result does not fit
// -32768..32767 or the value is not a number.
bool AdvanceToThousandths(double uoz, short* code);
