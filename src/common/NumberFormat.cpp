// SPDX-License-Identifier: GPL-3.0-or-later
#include "NumberFormat.h"

#include <QLocale>

#include <algorithm>
#include <cmath>

namespace {

// Significant digits with which a value is written before it is rounded to a pattern:
// what the desktop shows for a double and for a single, and the most either may need to
// be told apart from its neighbours.
struct Precision
{
    int shown;
    int most;
    bool single;
};
constexpr Precision DoublePrecision{15, 17, false};
constexpr Precision SinglePrecision{7, 9, true};

// The value in scientific notation ("d.ddd...e+XX") with the shown number of significant
// digits, or more when those would stand for another value (a single such as 16777216
// needs 8 digits; 0.1 + 0.2 as a double needs 17).
QString scientificText(double magnitude, Precision precision)
{
    QString text;
    for (int digits = precision.shown; digits <= precision.most; ++digits) {
        text = QString::number(magnitude, 'e', digits - 1);
        const bool same = precision.single ? text.toFloat() == static_cast<float>(magnitude)
                                           : text.toDouble() == magnitude;
        if (same)
            break;
    }
    return text;
}

bool isPlaceholder(QChar c)
{
    return c == QLatin1Char('0') || c == QLatin1Char('#');
}

int countPlaceholders(const QString &section)
{
    return static_cast<int>(std::count_if(section.begin(), section.end(), isPlaceholder));
}

// A non-negative value as decimal digits, rounded half away from zero to a given number of
// decimals: the integer digits without leading zeros (empty for zero) and exactly
// `decimals` fraction digits.
struct RoundedDigits
{
    QString integer;
    QString fraction;

    bool isZero() const
    {
        const auto zero = [](QChar c) { return c == QLatin1Char('0'); };
        return std::all_of(integer.begin(), integer.end(), zero) &&
               std::all_of(fraction.begin(), fraction.end(), zero);
    }
};

// Adds one unit in the last place of a string of decimal digits.
void incrementDigits(QString &digits)
{
    for (int i = digits.size() - 1; i >= 0; --i) {
        if (digits[i] != QLatin1Char('9')) {
            digits[i] = QChar(digits[i].unicode() + 1);
            return;
        }
        digits[i] = QLatin1Char('0');
    }
    digits.prepend(QLatin1Char('1'));
}

RoundedDigits roundToDecimals(double magnitude, Precision precision, int decimals)
{
    // The significant digits and the decimal exponent.
    const QString scientific = scientificText(magnitude, precision);
    const int exponentMark = scientific.indexOf(QLatin1Char('e'));
    QString digits = scientific.left(exponentMark);
    digits.remove(QLatin1Char('.'));
    const int exponent = scientific.mid(exponentMark + 1).toInt();

    // Place the decimal point: `integerCount` digits stand before it.
    int integerCount = exponent + 1;
    if (integerCount <= 0) {
        digits.prepend(QString(-integerCount, QLatin1Char('0')));
        integerCount = 0;
    } else if (integerCount > digits.size()) {
        digits.append(QString(integerCount - digits.size(), QLatin1Char('0')));
    }

    const int kept = integerCount + decimals;
    if (digits.size() > kept) {
        const bool roundUp = digits[kept] >= QLatin1Char('5');
        digits.truncate(kept);
        if (roundUp) {
            const int before = digits.size();
            incrementDigits(digits);
            integerCount += digits.size() - before;
        }
    } else {
        digits.append(QString(kept - digits.size(), QLatin1Char('0')));
    }

    RoundedDigits result{digits.left(integerCount), digits.mid(integerCount)};
    int leadingZeros = 0;
    while (leadingZeros < result.integer.size() && result.integer[leadingZeros] == QLatin1Char('0'))
        ++leadingZeros;
    result.integer.remove(0, leadingZeros);
    return result;
}

// The integer section of the pattern, digits filled in from the right. Digits beyond the
// placeholders go in front of the leftmost one; the sign goes right before the digits.
QString formatIntegerSection(const QString &section, const QString &digits, bool negative)
{
    const QString sign = negative ? QStringLiteral("-") : QString();
    int leftmost = -1;
    for (int i = 0; i < section.size(); ++i) {
        if (isPlaceholder(section[i])) {
            leftmost = i;
            break;
        }
    }
    if (leftmost < 0)
        return section + sign + digits; // no integer placeholders: digits before the point

    QString out;
    int next = digits.size() - 1; // next digit to place, from the right
    for (int i = section.size() - 1; i >= 0; --i) {
        const QChar c = section[i];
        if (!isPlaceholder(c)) {
            out.prepend(c);
            continue;
        }
        if (next >= 0)
            out.prepend(digits[next--]);
        else if (c == QLatin1Char('0'))
            out.prepend(c);
        if (i == leftmost)
            out.prepend(sign + digits.left(next + 1));
    }
    return out;
}

// The fraction section: "0" always shows its digit, "#" only up to the last significant
// digit (or a later "0").
QString formatFractionSection(const QString &section, const QString &digits)
{
    int lastShown = -1;
    int index = 0;
    for (const QChar c : section) {
        if (!isPlaceholder(c))
            continue;
        if (c == QLatin1Char('0') || digits[index] != QLatin1Char('0'))
            lastShown = index;
        ++index;
    }
    QString out;
    index = 0;
    for (const QChar c : section) {
        if (!isPlaceholder(c)) {
            out += c;
            continue;
        }
        if (index <= lastShown)
            out += digits[index];
        ++index;
    }
    return out;
}

QString formatWithDigits(double value, const QString &pattern, Precision precision)
{
    if (std::isnan(value))
        return QStringLiteral("NaN");
    if (std::isinf(value))
        return value < 0 ? QStringLiteral("-Infinity") : QStringLiteral("Infinity");

    const int point = pattern.indexOf(QLatin1Char('.'));
    const QString integerSection = point < 0 ? pattern : pattern.left(point);
    const QString fractionSection = point < 0 ? QString() : pattern.mid(point + 1);

    const RoundedDigits rounded =
        roundToDecimals(std::fabs(value), precision, countPlaceholders(fractionSection));
    const bool negative = value < 0 && !rounded.isZero();

    QString out = formatIntegerSection(integerSection, rounded.integer, negative);
    if (point >= 0) {
        out += QLocale().decimalPoint();
        out += formatFractionSection(fractionSection, rounded.fraction);
    }
    return out;
}

} // namespace

QString FormatNumber(double value, const QString &pattern)
{
    return formatWithDigits(value, pattern, DoublePrecision);
}

QString FormatNumber(float value, const QString &pattern)
{
    return formatWithDigits(static_cast<double>(value), pattern, SinglePrecision);
}
