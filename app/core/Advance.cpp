#include "app/core/Advance.h"

#include <cmath>

bool AdvanceInBounds(double value)
{
    return value >= -AdvanceLimit && value <= AdvanceLimit;
}

double RoundToThousandths(double value)
{
    if (!std::isfinite(value))
        return value;
    // The double nearest 1.0005 lies just below it (1.00049999999999994…),
    // and 4.0005 times 1000 gives 4000.4999999999995: a value whose text ends
    // on a half thousandth counts as that half, rounded away from zero.
    const double thousandths = std::round(std::round(value * 1e9) / 1e6);
    const double rounded = thousandths / 1000.0;
    return rounded == 0.0 ? 0.0 : rounded;
}

bool AdvanceToThousandths(double uoz, short* code)
{
    const double thousandths = uoz * 1000.0;
    // Also false for NaN, and keeps llround within range.
    if (!(std::fabs(thousandths) < 1e9))
        return false;
    // 1.001 * 1000 is 1000.9999999999999, which must go out as 1001, not 1000,
    // and so must the sum of ten steps of 0.01 (0.09999999999999999) go out as
    // 100. Integer division then truncates toward zero.
    const long long millionths = std::llround(thousandths * 1e6);
    const long long value = millionths / 1000000;
    if (value < -32768 || value > 32767)
        return false;
    *code = static_cast<short>(value);
    return true;
}
