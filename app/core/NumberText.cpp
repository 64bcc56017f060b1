#include "app/core/NumberText.h"

#include <QLocale>
#include <QStringList>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <stdexcept>

namespace {

[[noreturn]] void ThrowConvert(const QString& text, const char* what)
{
    throw std::runtime_error(QStringLiteral("'%1' is not a valid %2 value")
                                 .arg(text, QString::fromLatin1(what))
                                 .toStdString());
}

int HexDigit(QChar c)
{
    const ushort u = c.unicode();
    if (u >= '0' && u <= '9')
        return u - '0';
    if (u >= 'a' && u <= 'f')
        return u - 'a' + 10;
    if (u >= 'A' && u <= 'F')
        return u - 'A' + 10;
    return -1;
}

}  // namespace

QString DecimalSeparator()
{
    return QLocale().decimalPoint();
}

int StrToInt(const QString& text)
{
    int pos = 0;
    const int n = text.size();
    while (pos < n && text[pos] == QLatin1Char(' '))
        ++pos;
    bool negative = false;
    if (pos < n && (text[pos] == QLatin1Char('-') || text[pos] == QLatin1Char('+'))) {
        negative = text[pos] == QLatin1Char('-');
        ++pos;
    }
    bool hex = false;
    if (pos < n && text[pos] == QLatin1Char('$')) {
        hex = true;
        ++pos;
    } else if (pos < n && (text[pos] == QLatin1Char('x') || text[pos] == QLatin1Char('X'))) {
        hex = true;
        ++pos;
    } else if (pos + 1 < n && text[pos] == QLatin1Char('0')
               && (text[pos + 1] == QLatin1Char('x') || text[pos + 1] == QLatin1Char('X'))) {
        hex = true;
        pos += 2;
    }
    if (pos >= n)
        ThrowConvert(text, "integer");

    long long value = 0;
    if (hex) {
        if (n - pos > 8)
            ThrowConvert(text, "integer");
        for (; pos < n; ++pos) {
            const int d = HexDigit(text[pos]);
            if (d < 0)
                ThrowConvert(text, "integer");
            value = value * 16 + d;
        }
        // Eight hex digits spell a 32-bit pattern: $FFFFFFFF is -1.
        int result = static_cast<int>(static_cast<unsigned int>(value));
        return negative ? static_cast<int>(0u - static_cast<unsigned int>(result)) : result;
    }
    for (; pos < n; ++pos) {
        const ushort u = text[pos].unicode();
        if (u < '0' || u > '9')
            ThrowConvert(text, "integer");
        value = value * 10 + (u - '0');
        if (value > 2147483648LL)
            ThrowConvert(text, "integer");
    }
    if (negative)
        value = -value;
    if (value > std::numeric_limits<int>::max() || value < std::numeric_limits<int>::min())
        ThrowConvert(text, "integer");
    return static_cast<int>(value);
}

bool TextToFloat(const QString& text, const QStringList& separators, double& value)
{
    const QString t = text.trimmed();
    // Build a C-locale copy while checking the shape:
    // [sign] digits [sep digits] [(e|E) [sign] digits], at least one mantissa digit.
    QByteArray c;
    int pos = 0;
    const int n = t.size();
    auto takeDigits = [&] {
        int count = 0;
        for (; pos < n && t[pos].unicode() >= '0' && t[pos].unicode() <= '9'; ++pos, ++count)
            c.append(static_cast<char>(t[pos].unicode()));
        return count;
    };
    if (pos < n && (t[pos] == QLatin1Char('+') || t[pos] == QLatin1Char('-')))
        c.append(static_cast<char>(t[pos++].unicode()));
    int digits = takeDigits();
    for (const QString& sep : separators) {
        if (!sep.isEmpty() && t.mid(pos, sep.size()) == sep) {
            pos += sep.size();
            c.append('.');
            digits += takeDigits();
            break;
        }
    }
    if (digits == 0)
        return false;
    if (pos < n && (t[pos] == QLatin1Char('e') || t[pos] == QLatin1Char('E'))) {
        c.append('e');
        ++pos;
        if (pos < n && (t[pos] == QLatin1Char('+') || t[pos] == QLatin1Char('-')))
            c.append(static_cast<char>(t[pos++].unicode()));
        if (takeDigits() == 0)
            return false;
    }
    if (pos != n)
        return false;
    bool ok = false;
    value = QLocale::c().toDouble(QString::fromLatin1(c), &ok);
    return ok && std::isfinite(value);
}

double StrToFloat(const QString& text)
{
    double value = 0.0;
    if (!TextToFloat(text, {DecimalSeparator()}, value))
        ThrowConvert(text, "floating point");
    return value;
}

QString FormatGeneral(double value, const QString& decimalSeparator)
{
    if (std::isnan(value))
        return QStringLiteral("NAN");
    if (std::isinf(value))
        return value > 0 ? QStringLiteral("INF") : QStringLiteral("-INF");
    if (value == 0.0)
        return QStringLiteral("0");

    // 15 significant digits: d.dddddddddddddde±XX
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.14e", std::fabs(value));
    const char* e = std::strchr(buf, 'e');
    const int exponent = std::atoi(e + 1);
    QString digits;
    for (const char* p = buf; p < e; ++p)
        if (*p >= '0' && *p <= '9')
            digits.append(QLatin1Char(*p));
    while (digits.size() > 1 && digits.endsWith(QLatin1Char('0')))
        digits.chop(1);

    QString out = value < 0 ? QStringLiteral("-") : QString();
    if (exponent < -5 || exponent >= 15) {
        out += digits.left(1);
        if (digits.size() > 1)
            out += decimalSeparator + digits.mid(1);
        out += QLatin1Char('E') + QString::number(exponent);
        return out;
    }
    if (exponent < 0) {
        out += QLatin1Char('0') + decimalSeparator + QString(-exponent - 1, QLatin1Char('0')) + digits;
        return out;
    }
    if (digits.size() <= exponent + 1) {
        out += digits + QString(exponent + 1 - digits.size(), QLatin1Char('0'));
        return out;
    }
    out += digits.left(exponent + 1) + decimalSeparator + digits.mid(exponent + 1);
    return out;
}

QString FloatToStr(double value)
{
    return FormatGeneral(value, DecimalSeparator());
}
