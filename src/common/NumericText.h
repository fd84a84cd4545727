// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QtGlobal>

#include <optional>

// Numbers read from the instrument's reply texts and typed by the user.

// The leading decimal number of text: an optional sign, digits, at most one "." and an
// optional exponent ("E" or "e", an optional sign and digits). Blanks, tabs and line feeds
// are skipped wherever they stand; any other character ends the number; 0 when there is
// no number. An "E" that is not followed by digits ends the number before it. The decimal
// point is always ".", whatever the locale, so "1,5" gives 1.
//
// A number too large for a double (such as "1e999") gives 0 and sets *overflow when the
// caller asks for it, so that the caller can report "Overflow"; otherwise *overflow is
// cleared. A number too small to hold gives 0 without an overflow.
double NumericValue(const QString &text, bool *overflow = nullptr);

// The number a reply field holds when it holds one number read as above and nothing else
// but skipped white space; empty when the field holds no number, something after it, or a
// number too large for a double. A field such as "12x", "inf" or "1e999" is no reading.
std::optional<double> WholeNumericValue(const QString &text);

// Rounds to the nearest integer, halves to the even one: 2.5 -> 2, 3.5 -> 4, -2.5 -> -2.
// Infinities and NaN come back unchanged.
double RoundHalfEven(double value);

// Rounds (halves to even) to a signed 16-bit or 32-bit integer; empty when the rounded
// value does not fit or the value is not a number, so the caller can report "Overflow".
std::optional<qint16> ToInt16(double value);
std::optional<qint32> ToInt32(double value);
