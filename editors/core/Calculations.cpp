#include "editors/core/Calculations.h"

#include "app/core/Advance.h"

#include <cmath>

// The guards look at the whole-degree part of the extreme value (its fraction
// dropped toward zero), starting from 0. The truncation is done in double
// arithmetic: a value read from a file can be far outside the integer range.

bool CanShiftUp(const MapTable& map, double step)
{
    double m = 0;
    for (int i = 0; i < MapPoints; ++i)
        if (m < map.Uoz[i])
            m = std::trunc(map.Uoz[i]);
    return m + step < AdvanceLimit;
}

bool CanShiftDown(const MapTable& map, double step)
{
    double m = 0;
    for (int i = 0; i < MapPoints; ++i)
        if (m > map.Uoz[i])
            m = std::trunc(map.Uoz[i]);
    return m - step > -AdvanceLimit;
}
