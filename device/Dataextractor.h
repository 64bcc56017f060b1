#pragma once

#include <QString>

class TForm2;
struct MapTable;

// One request/reply exchange with the variator over VariatorPort.
// kind is "read" or "write"; returns the data field of the frame buffer at the
// end of the exchange as a signed 16-bit value. When interactive is nonzero,
// failures are reported in message boxes. When replyValid is given, it is set
// to true only for a complete reply with a correct checksum that is not an
// error report.
int UARTdataExchange(const QString& kind, unsigned char parameter, short data,
                     unsigned char interactive, bool* replyValid = nullptr);

// Connection to the variator.
extern unsigned char VariatorConnected;
extern char PortName[16];

void BuildPortName(int number);
unsigned char ConnectVariator(int number, unsigned char interactive);
unsigned char DisconnectVariator();
int AutoSelectPort(int first, int end);

// Transfers between the map store and the variator.
void ReadLPGMap(MapTable& table);
void ReadPetrolMap(MapTable& table);
void WritePLGMap(MapTable& table);
void WritePetrolMap(MapTable& table);
int WriteStartTimeout(int value);
