#include "app/core/MapStore.h"

MapTable LPGTable = {};
MapTable PetrolTable = {};

void InitMapStore()
{
    for (int i = 0; i < MapPoints; ++i) {
        LPGTable.Rpm[i] = PetrolTable.Rpm[i] = 100.0 * i;
        LPGTable.Uoz[i] = PetrolTable.Uoz[i] = 0.0;
    }
}
