#pragma once

// What one map's chart and table handlers work on: the map's widgets, its
// table and the editors' state for it, gathered once when the window is built.

#include <QString>

class QCheckBox;
class QLabel;
class QLineSeries;
class TChart;
class TForm2;
class TStringGrid;
struct ChartRun;
struct MapReference;
struct MapTable;

struct MapViews {
    TChart* chart = nullptr;
    QLineSeries* series = nullptr;
    QCheckBox* speed = nullptr;
    QCheckBox* fullMap = nullptr;
    QCheckBox* scale = nullptr;
    TStringGrid* grid = nullptr;
    MapTable* table = nullptr;
    const MapReference* reference = nullptr;
    int* selectedPoint = nullptr;
    ChartRun* run = nullptr;
    unsigned char* mouseIn = nullptr;
    int* col = nullptr;
    int* row = nullptr;
    QLabel* readout = nullptr;
};

// Fills the window's LPGViews and PetrolViews; called once its charts, check
// boxes and grids exist.
void BuildMapViews(TForm2* window);

// The bundle of the map named by selector ("LPG" or "Petrol"), or null.
const MapViews* ViewsOf(const TForm2* window, const QString& selector);

// Reloads the LPG chart, the petrol chart, the LPG table and the petrol
// table, in this order.
void RefreshAllViews(TForm2* window);
