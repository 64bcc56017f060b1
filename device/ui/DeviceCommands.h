#pragma once

// The device link as the window runs it: VariatorPort, messages through
// ShowMessage, the status in Form2's Label2, progress in Form2's progress bar.

#include "device/core/Dataextractor.h"

class TForm2;

// "Вариатор отключен"; ShowDisconnected sets the status first.
extern const QString DisconnectedMessage;
void ShowDisconnected(TForm2* window);

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

// "Подключение" / "Записать изменения" (Ctrl+Shift+W): writes the points, and
// the start timeout, that the variator is not known to hold, LPG first,
// ascending, every echo checked, then reads those points back. "Записывать
// изменения сразу" (off at start, never kept): while ticked and connected,
// each change of the maps is followed, after a pause of 0.3 s, by the same
// write, silent on success; its first failure unticks it. The window's
// constructor calls it once, after the menu "Подключение" is complete.
void SetupChangeWriting(TForm2* window);
