#pragma once

// Map tables the suites build their cases from, and the one comparison they
// take tables by.

#include "app/core/MapStore.h"

#include <cstring>

// The standard speed axis with advance values uoz(i).
template <typename F>
MapTable SampleTable(F uoz)
{
    MapTable t{};
    SetSpeedAxis(t);
    for (int i = 0; i < MapPoints; ++i)
        t.Uoz[i] = uoz(i);
    return t;
}

// Both maps at once: the gas map holds lpg(i), the petrol map petrol(i).
template <typename F, typename G>
void FillMaps(F lpg, G petrol)
{
    LPGTable = SampleTable(lpg);
    PetrolTable = SampleTable(petrol);
}

// Values no sample holds, to tell whether something touched a table.
inline MapTable Sentinel(double base)
{
    return SampleTable([base](int i) { return base + i; });
}

// Bit for bit, so that a NaN or a -0 counts as a change.
inline bool SameTable(const MapTable& a, const MapTable& b)
{
    return std::memcmp(&a, &b, sizeof(MapTable)) == 0;
}
