#pragma once

// The two ignition-advance maps. They are the only place where map values
// live: charts and grids display them, transfers and files copy them.

constexpr int MapPoints = 80;
// Engine speed between neighbouring points: point i is at i * RpmStep rpm.
constexpr int RpmStep = 100;

struct MapTable {
    double Rpm[MapPoints];  // engine speed of point i, always i * RpmStep
    double Uoz[MapPoints];  // ignition advance of point i, degrees
};

extern MapTable LPGTable;
extern MapTable PetrolTable;

// The maps' titles (UTF-8), as their pages, charts, undo steps and the
// record name them.
constexpr const char* LPGMapTitle = "Карта УОЗ для газа";
constexpr const char* PetrolMapTitle = "Карта УОЗ для бензина";

// Speeds 0..7900 rpm and advance 0 in both tables.
void InitMapStore();

// Sets the speeds of a table: 0..7900 rpm.
void SetSpeedAxis(MapTable& table);

// The template: speeds 0..7900 rpm, these advances at every point.
constexpr double LPGTemplateAdvance = 9.0, PetrolTemplateAdvance = 2.0;
void FillTemplateMaps();

// A table page shows a map in columns of ten points, 1000 rpm a column and
// 100 rpm a row, behind one fixed row and one fixed column of speeds: point
// i sits in column i / 10 + 1, row i % 10 + 1.
constexpr int GridRows = 10;
constexpr int GridCols = MapPoints / GridRows;
constexpr int PointCol(int point) { return point / GridRows + 1; }
constexpr int PointRow(int point) { return point % GridRows + 1; }
// The point shown in a cell of the data area (columns 1..8, rows 1..10).
constexpr int CellPoint(int col, int row) { return (col - 1) * GridRows + (row - 1); }
