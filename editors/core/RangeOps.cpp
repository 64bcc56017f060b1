#include "editors/core/RangeOps.h"

int ApplyRangeOp(MapTable& map, const QList<int>& points, RangeOp op, double argument)
{
    if (points.size() < PointsNeeded(op))
        return -1;
    const double* old = map.Uoz;
    const int first = points.front();
    const int last = points.back();
    QList<int> changed;
    QList<double> values;
    for (int k = 0; k < points.size(); ++k) {
        const int i = points[k];
        const bool end = k == 0 || k == points.size() - 1;
        double v = old[i];
        switch (op) {
        case RangeOp::Set:
            v = argument;
            break;
        case RangeOp::Add:
            v = old[i] + argument;
            break;
        case RangeOp::Multiply:
            v = old[i] * argument / 100.0;
            break;
        case RangeOp::Interpolate:
            // By engine speed, which steps evenly with the index.
            if (end)
                continue;
            v = old[first] + (old[last] - old[first]) * (i - first) / double(last - first);
            break;
        case RangeOp::Smooth:
            // The neighbours by engine speed, as they were before the command.
            if (end)
                continue;
            v = (old[i - 1] + 2.0 * old[i] + old[i + 1]) / 4.0;
            break;
        }
        changed.append(i);
        values.append(v);
    }
    const int bad = SetMapValues(map, changed, values);
    return bad < 0 ? -1 : changed[bad];
}

int CopyMapValues(MapTable& map, const MapTable& from)
{
    QList<int> points;
    QList<double> values;
    for (int i = 0; i < MapPoints; ++i) {
        points.append(i);
        values.append(from.Uoz[i]);
    }
    return SetMapValues(map, points, values);
}

int SetMapValues(MapTable& map, const QList<int>& points, const QList<double>& values)
{
    QList<double> rounded;
    for (int k = 0; k < values.size(); ++k) {
        rounded.append(RoundToThousandths(values[k]));
        if (!AdvanceInBounds(rounded.back()))
            return k;
    }
    for (int k = 0; k < points.size(); ++k)
        map.Uoz[points[k]] = rounded[k];
    return -1;
}

QString OutOfRangeMessage(const QString& mapName, int point)
{
    return QStringLiteral("Значение вне допустимого диапазона: %1, %2 об/мин").arg(mapName).arg(point * RpmStep);
}
