#pragma once

// Both maps of the store at once, taken and compared bit for bit.

#include "common/SampleMaps.h"

struct Maps {
    MapTable lpg;
    MapTable petrol;
};

inline Maps Now() { return {LPGTable, PetrolTable}; }

inline bool SameBits(const Maps& a, const Maps& b) { return SameTable(a.lpg, b.lpg) && SameTable(a.petrol, b.petrol); }
