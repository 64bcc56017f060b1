#pragma once

#include <QString>
#include <QStringList>

// Number text under the user's regional settings (the default QLocale).
// Conversion errors are thrown as std::runtime_error with the message the
// user sees in the error box.

// Text to a 32-bit integer: leading spaces, an optional sign, decimal digits or
// a hexadecimal number after "$", "x" or "0x". Anything else, empty text and
// values outside the 32-bit range throw "'<text>' is not a valid integer value".
// Hexadecimal text up to 8 digits is taken as the 32-bit pattern it spells.
int StrToInt(const QString& text);

// Text to double: optional sign, digits with the regional decimal separator,
// optional exponent; spaces around the number are allowed. Anything else throws
// "'<text>' is not a valid floating point value".
double StrToFloat(const QString& text);

// The same shape with any of the given decimal separators, without throwing:
// returns false (value unspecified) when the text is not such a number or
// does not fit a finite double.
bool TextToFloat(const QString& text, const QStringList& separators, double& value);

// A double in the general format: rounded to 15 significant digits, shortest
// text, no trailing zeros, no grouping; exponent notation ("3.5E-18") only for
// non-zero magnitudes below 0.00001 or of 1E15 and above. Uses the regional
// decimal separator.
QString FloatToStr(double value);

// The same format with a given decimal separator.
QString FormatGeneral(double value, const QString& decimalSeparator);

// The regional decimal separator.
QString DecimalSeparator();
