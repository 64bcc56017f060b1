#include "MapFile.h"

#include "Gui2.h"
#include "MapStore.h"

void SaveMapFile(MapTable& lpg, MapTable& petrol)
{
    (void)lpg;
    (void)petrol;
}

void LoadMapFile(MapTable& lpg, MapTable& petrol)
{
    (void)lpg;
    (void)petrol;
}

void TForm2::N2Click() {}
void TForm2::N3Click() {}
