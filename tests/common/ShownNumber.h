#pragma once

// Reads a number a view shows without the program's own number text: the
// text as the C locale reads it, equal to `value` to fifteen significant
// digits (the most a cell shows).

#include <QLocale>
#include <QString>
#include <cmath>

inline bool ShowsValue(const QString& text, double value)
{
    bool ok = false;
    const double shown = QLocale::c().toDouble(text, &ok);
    if (!ok)
        return false;
    return std::fabs(shown - value) <= 5e-15 * std::fabs(value) || shown == value;
}
