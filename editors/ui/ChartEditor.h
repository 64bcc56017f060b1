#pragma once

#include "editors/widgets/ChartWidget.h"

#include <QList>
#include <QString>

class QLineSeries;
class TForm2;
struct MapViews;

// Selected point of each chart and whether the mouse pointer is over it.
extern int SelectedLPGPoint;
extern int SelectedPetrolPoint;
// Each chart's run of selected points in one-point mode: the points from
// the anchor to the selected point, both included. Shift with Left, Right or
// a click, and a drag, extend it; the plain key or click makes it the
// selected point alone. It holds while the selected point is the one it was
// made with (`point`); a selected point set otherwise stands alone.
struct ChartRun {
    int anchor = 0;
    int point = 0;
};
extern ChartRun LPGChartRun;
extern ChartRun PetrolChartRun;
extern unsigned char MouseInLPGChart;
extern unsigned char MouseInPetrolChart;

// The step of Up, Down and a drag with "Быстрое изменение" ticked and not;
// the advance axis's top, and with "Отрицательные значения" its bottom too.
constexpr double FastStep = 0.5, FineStep = 0.01, AdvanceAxisTop = 35.0;

// Sets up a map chart as the window lays it out: title, fixed axes 0..8000 and
// 0..AdvanceAxisTop, one blue line series with point markers of `marker`, no
// legend.
// Returns the series, owned by the chart.
QLineSeries* SetupMapChart(TChart* chart, const QString& title, MarkerStyle marker);

// Reloads the chart of the map named by selector ("LPG" or "Petrol") from its
// table; the points lose their own colours. Any other text does nothing.
void RefreshChart(TForm2* window, const QString& selector);
// The same for the map of `m`.
void RefreshChart(TForm2* window, const MapViews& m);

// The chart's selection in engine-speed order: all 80 points in whole-map
// mode, else the run from the anchor to the selected point.
QList<int> ChartSelection(const MapViews& m);

// A drag across the chart selected the points from `from` to `to`
// (one-point mode only).
void ChartDragSelect(TForm2* window, const MapViews& m, int from, int to);

// Pointing at the charts, wired by the window's constructor: the readout
// label of each chart page says which point is under the pointer ("1500
// об/мин: 12,5°"), else which points the keys and "Правка" act on ("1500–3500
// об/мин, 21 точка"), as its text and its accessible name. A drag from a
// marker moves, by whole steps of the step size, the selected run when the
// marker is one of its points (the point alone otherwise), or the whole map
// in whole-map mode, within the limits of the keys; the release makes it one
// undo step, Escape puts the points back. A click on a point of a run
// without a drag selects that point alone, as before.
void SetupChartPointer(TForm2* window);

// Whether a marker is held on either chart: no transfer starts meanwhile.
bool MarkerDragHeld(const TForm2* window);
// Puts a held marker's drag back, as Escape does; false when none was held.
bool PutBackMarkerDrag(TForm2* window);

// Brings the readout label of the map's chart up to date.
void UpdateReadout(const MapViews& m);
