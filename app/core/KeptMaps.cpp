#include "app/core/KeptMaps.h"

#include "app/core/MapCompare.h"
#include "app/core/MapStore.h"

#include <QString>

namespace {

MapTable keptLPG = {};
MapTable keptPetrol = {};

}  // namespace

void KeepMaps(const MapTable& lpg, const MapTable& petrol)
{
    keptLPG = lpg;
    keptPetrol = petrol;
}

void KeepMap(const QString& selector, const MapTable& table)
{
    (selector == QLatin1String("LPG") ? keptLPG : keptPetrol) = table;
}

bool MapsKept(const MapTable& lpg, const MapTable& petrol)
{
    return DifferingPoints(keptLPG, lpg).isEmpty() && DifferingPoints(keptPetrol, petrol).isEmpty();
}
