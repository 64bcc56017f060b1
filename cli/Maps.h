#pragma once

// What tarvo-cli moves: both maps with the start timeout and the firmware
// version, as the variator holds them or as a file holds them.

#include "app/core/MapStore.h"

namespace cli {

constexpr int MapExchanges = 2 * MapPoints;       // both maps: 160
constexpr int ReadExchanges = MapExchanges + 2;   // and the start timeout and firmware version: 162
constexpr int WriteExchanges = MapExchanges + 1;  // and the start timeout: 161

inline MapTable FreshTable()
{
    MapTable table = {};
    SetSpeedAxis(table);
    return table;
}

struct Maps {
    MapTable lpg = FreshTable();
    MapTable petrol = FreshTable();
    int timeout = 0;
    int firmware = 0;
};

}  // namespace cli
