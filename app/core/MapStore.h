#pragma once

// The two ignition-advance maps. They are the only place where map values
// live: charts and grids display them, transfers and files copy them.

constexpr int MapPoints = 80;

struct MapTable {
    double Rpm[MapPoints];  // engine speed of point i, always 100 * i
    double Uoz[MapPoints];  // ignition advance of point i, degrees
};

extern MapTable LPGTable;
extern MapTable PetrolTable;

// Speeds 0..7900 rpm and advance 0 in both tables.
void InitMapStore();
