#include "Dataextractor.h"

#include "Gui2.h"
#include "MapStore.h"

void ReadLPGMap(MapTable& table) { (void)table; }
void ReadPetrolMap(MapTable& table) { (void)table; }
void WritePLGMap(MapTable& table) { (void)table; }
void WritePetrolMap(MapTable& table) { (void)table; }

int WriteStartTimeout(int value)
{
    (void)value;
    return 0;
}

void TForm2::ReadDataClick() {}
void TForm2::WriteDataClick() {}
