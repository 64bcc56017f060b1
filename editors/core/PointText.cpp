#include "editors/core/PointText.h"

#include "app/core/NumberText.h"
#include "app/core/MapStore.h"

#include <algorithm>
#include <cstdlib>

QString DegreesText(double value)
{
    return FloatToStr(value) + QStringLiteral("°");
}

QString PointReadout(int point, double value)
{
    // Speeds are plain digits, as the table's headers show them.
    return QStringLiteral("%1 об/мин: %2").arg(point * RpmStep).arg(DegreesText(value));
}

QString RunReadout(int first, int last)
{
    const int n = std::abs(last - first) + 1;
    return QStringLiteral("%1–%2 об/мин, %3 %4")
        .arg(std::min(first, last) * RpmStep)
        .arg(std::max(first, last) * RpmStep)
        .arg(n)
        .arg(PointsWord(n));
}

QString PointsWord(int n)
{
    const int tens = n % 100;
    const int ones = n % 10;
    if (ones == 1 && tens != 11)
        return QStringLiteral("точка");
    if (ones >= 2 && ones <= 4 && (tens < 12 || tens > 14))
        return QStringLiteral("точки");
    return QStringLiteral("точек");
}
