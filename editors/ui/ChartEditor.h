#pragma once

#include "editors/widgets/ChartWidget.h"

#include <QString>

class QLineSeries;
class TForm2;

// Selected point of each chart and whether the mouse pointer is over it.
extern int SelectedLPGPoint;
extern int SelectedPetrolPoint;
extern unsigned char MouseInLPGChart;
extern unsigned char MouseInPetrolChart;

// Sets up a map chart as the window lays it out: title, fixed axes 0..8000 and
// 0..35, one blue line series with point markers of `marker`, no legend.
// Returns the series, owned by the chart.
QLineSeries* SetupMapChart(TChart* chart, const QString& title, MarkerStyle marker);

// Reloads the chart of the map named by selector ("LPG" or "Petrol") from its
// table; the points lose their own colours.
void RefreshChart(TForm2* window, const QString& selector);
