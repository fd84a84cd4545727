// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

#include <type_traits>

// Numbers shown on screen and written to files through digit patterns such as "###0.0",
// "##0.00", "0.0", "0.00", "  0.0", " ###0.0", " ##0.0", "#0.000" and "0".
//
// In a pattern "0" is a digit that is always shown, "#" a digit shown only when it is
// significant, the first "." stands for the decimal separator of the default locale
// (QLocale()), and every other character is written as it stands (so leading blanks stay).
// The value is rounded to the decimals the pattern shows; every integer digit is shown,
// even beyond the pattern's width ("###0.0" writes 12345.6 as "12345.6"); there is no
// thousands separator; digits are always 0-9. A negative value gets a "-" right before its
// first digit (after any literal blanks in front: " ##0.0" writes -5 as " -5.0"); a value
// that rounds to zero is written without a sign.
//
// Rounding works on the value's decimal text, not on its binary value, as the usual
// desktop formatting does: a double is first written with 15 significant digits, a float
// with 7 (or with up to 17 and 9 when fewer would stand for another value, so that a
// large whole number keeps all its digits), and that text is rounded half away from zero. So 0.05
// with "0.0" gives "0.1" and 0.25 gives "0.3", although neither is exactly representable or halfway
// in binary terms; 2.675f with "0.00" gives "2.68".
//
// NaN and infinities are written "NaN", "Infinity" and "-Infinity".
QString FormatNumber(double value, const QString &pattern);
QString FormatNumber(float value, const QString &pattern);

// Whole numbers (counts, calibration factors) are formatted as doubles.
template <typename Int, std::enable_if_t<std::is_integral_v<Int>, int> = 0>
QString FormatNumber(Int value, const QString &pattern)
{
    return FormatNumber(static_cast<double>(value), pattern);
}
