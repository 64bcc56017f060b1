#include "Calculations.h"

bool CanShiftUp(const MapTable& map, double step)
{
    (void)map;
    (void)step;
    return false;
}

bool CanShiftDown(const MapTable& map, double step)
{
    (void)map;
    (void)step;
    return false;
}
