#pragma once

#include <QString>

// What a chart says about its points, in the user's regional settings
// (QLocale()): the point under the pointer and the span of a selected run.

// "12,5°": an advance as the user reads it everywhere, the table's cells
// included: the shortest text of the value held (FloatToStr).
QString DegreesText(double value);

// "1500 об/мин: 12,5°": the point's speed and its value.
QString PointReadout(int point, double value);

// "1500–3500 об/мин, 21 точка": the speeds of the first and last point and
// how many points lie between them, both included.
QString RunReadout(int first, int last);

// "точка", "точки" or "точек", as Russian counts n of them.
QString PointsWord(int n);
