#pragma once

#include "app/core/MapStore.h"

// Whole-map guards of the chart editor: whether every point of the map may be
// raised (lowered) by `step` degrees.
bool CanShiftUp(const MapTable& map, double step);
bool CanShiftDown(const MapTable& map, double step);
