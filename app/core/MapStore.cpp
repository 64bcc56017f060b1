#include "app/core/MapStore.h"

MapTable LPGTable = {};
MapTable PetrolTable = {};

void SetSpeedAxis(MapTable& table)
{
    for (int i = 0; i < MapPoints; ++i)
        table.Rpm[i] = double(i * RpmStep);
}

void InitMapStore()
{
    SetSpeedAxis(LPGTable);
    SetSpeedAxis(PetrolTable);
    for (int i = 0; i < MapPoints; ++i)
        LPGTable.Uoz[i] = PetrolTable.Uoz[i] = 0.0;
}

void FillTemplateMaps()
{
    SetSpeedAxis(LPGTable);
    SetSpeedAxis(PetrolTable);
    for (int i = 0; i < MapPoints; ++i) {
        LPGTable.Uoz[i] = LPGTemplateAdvance;
        PetrolTable.Uoz[i] = PetrolTemplateAdvance;
    }
}
