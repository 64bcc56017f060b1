#pragma once

#include "app/core/Advance.h"
#include "app/core/MapStore.h"

#include <QList>
#include <QString>

// Operations on a selection of points of one map. A selection is a list of
// point indices in engine-speed order (ascending, no repeats). Every result
// is rounded to whole thousandths of a degree (RoundToThousandths), and
// an operation is all or nothing: when any result would lie outside the
// table editor's bounds, the map stays as it was.

enum class RangeOp {
    Set,          // every point becomes the argument
    Add,          // every point plus the argument (degrees)
    Multiply,     // every point times the argument in percent (110: x 1.1)
    Interpolate,  // points strictly between the first and the last: the straight line between them
    Smooth,       // points strictly inside: (previous + 2 x itself + next) / 4, from the values before
};

// Points an operation needs at least.
constexpr int PointsNeeded(RangeOp op)
{
    return op == RangeOp::Interpolate || op == RangeOp::Smooth ? 3 : 1;
}

// Applies `op` with `argument` to the points of `map`. Returns -1 when it was
// applied, or the first point (in engine-speed order) whose result lies out
// of bounds; the map is then unchanged. Too few points change nothing (-1).
int ApplyRangeOp(MapTable& map, const QList<int>& points, RangeOp op, double argument);

// Every point of `map` takes the value of the same point of `from`, rounded;
// -1 or the first point out of bounds, as above.
int CopyMapValues(MapTable& map, const MapTable& from);

// Sets the points to the values given (same length), rounded; -1 or the
// position in `points` of the first value out of bounds, map unchanged.
int SetMapValues(MapTable& map, const QList<int>& points, const QList<double>& values);

// "Значение вне допустимого диапазона: газ, 1200 об/мин", with "газ" or
// "бензин" for mapName.
QString OutOfRangeMessage(const QString& mapName, int point);
