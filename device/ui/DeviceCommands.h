#pragma once

// The device link as the window runs it: VariatorPort, messages through
// ShowMessage, the status in Form2's Label2, progress in Form2's progress bar.

#include "device/core/Dataextractor.h"

// The COM number of the last "Чтение данных из вариатора" that got both
// maps whole; 0 before the first.
extern int LastReadPort;

// Opens port `number` and shakes hands; see ConnectPort.
unsigned char ConnectVariator(int number, unsigned char interactive);
// Closes whatever is open, then tries the numbers first..end-1 silently and
// stops at the first that answers, writing it into the port box. Always 0.
int AutoSelectPort(int first, int end);

// A read map: every point that arrived goes into table, the others keep their
// values; values, when given, receives the map as the variator gave it, NaN
// at each point whose exchange failed.
void ReadLPGMap(MapTable& table, MapTable* values = nullptr);
void ReadPetrolMap(MapTable& table, MapTable* values = nullptr);
// allEchoed, when given, tells whether a valid reply echoed every point.
void WritePLGMap(MapTable& table, bool* allEchoed = nullptr);
void WritePetrolMap(MapTable& table, bool* allEchoed = nullptr);
