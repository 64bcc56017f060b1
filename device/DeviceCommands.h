#pragma once

// The device link as the window runs it: VariatorPort, messages through
// ShowMessage, the status in Form2's Label2, progress in Form2's progress bar.

#include "Dataextractor.h"

// Opens port `number` and shakes hands; see ConnectPort.
unsigned char ConnectVariator(int number, unsigned char interactive);
// Closes whatever is open, then tries the numbers first..end-1 silently and
// stops at the first that answers, writing it into the port box. Always 0.
int AutoSelectPort(int first, int end);

void ReadLPGMap(MapTable& table);
void ReadPetrolMap(MapTable& table);
void WritePLGMap(MapTable& table);
void WritePetrolMap(MapTable& table);
