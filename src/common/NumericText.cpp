// SPDX-License-Identifier: GPL-3.0-or-later
#include "NumericText.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

bool isSkipped(QChar c)
{
    return c == QLatin1Char(' ') || c == QLatin1Char('\t') || c == QLatin1Char('\n');
}

bool isDigit(QChar c)
{
    return c >= QLatin1Char('0') && c <= QLatin1Char('9');
}

// Reads the characters of a text one by one, stepping over the skipped white space.
class NumberScanner
{
public:
    explicit NumberScanner(const QString &text) : m_text(text) { skipBlanks(); }

    bool atEnd() const { return m_pos >= m_text.size(); }
    QChar peek() const { return atEnd() ? QChar() : m_text.at(m_pos); }
    int position() const { return m_pos; }
    void rewind(int pos) { m_pos = pos; }
    void advance()
    {
        ++m_pos;
        skipBlanks();
    }

private:
    void skipBlanks()
    {
        while (!atEnd() && isSkipped(m_text.at(m_pos)))
            ++m_pos;
    }

    const QString &m_text;
    int m_pos = 0;
};

// Beyond this an exponent only decides between zero and overflow; capping it keeps the
// decimal text that is converted short.
constexpr int ExponentCap = 100000;

// The leading number of text as NumericValue reads it; *whole tells whether nothing but
// skipped white space follows it.
double scanNumber(const QString &text, bool *overflow, bool *whole)
{
    if (overflow)
        *overflow = false;
    *whole = false;

    NumberScanner scan(text);
    bool negative = false;
    if (scan.peek() == QLatin1Char('+') || scan.peek() == QLatin1Char('-')) {
        negative = scan.peek() == QLatin1Char('-');
        scan.advance();
    }

    QString mantissa;
    bool seenPoint = false;
    bool seenDigit = false;
    for (;;) {
        const QChar c = scan.peek();
        if (isDigit(c)) {
            mantissa += c;
            seenDigit = true;
        } else if (c == QLatin1Char('.') && !seenPoint) {
            mantissa += c;
            seenPoint = true;
        } else {
            break;
        }
        scan.advance();
    }
    if (!seenDigit)
        return 0.0;

    int exponent = 0;
    if (scan.peek() == QLatin1Char('E') || scan.peek() == QLatin1Char('e')) {
        const int beforeE = scan.position();
        scan.advance();
        bool negativeExponent = false;
        if (scan.peek() == QLatin1Char('+') || scan.peek() == QLatin1Char('-')) {
            negativeExponent = scan.peek() == QLatin1Char('-');
            scan.advance();
        }
        if (!isDigit(scan.peek())) {
            scan.rewind(beforeE); // the number ends before the "E"
        } else {
            while (isDigit(scan.peek())) {
                const int digit = scan.peek().unicode() - '0';
                exponent = std::min(ExponentCap, exponent * 10 + digit);
                scan.advance();
            }
            if (negativeExponent)
                exponent = -exponent;
        }
    }

    // QString::toDouble always reads the C locale's "." whatever the default locale.
    *whole = scan.atEnd();
    const QString normalised = mantissa + QLatin1Char('e') + QString::number(exponent);
    const double magnitude = normalised.toDouble();
    if (!std::isfinite(magnitude)) {
        if (overflow)
            *overflow = true;
        return 0.0;
    }
    if (magnitude == 0.0)
        return 0.0; // never a negative zero
    return negative ? -magnitude : magnitude;
}

} // namespace

double NumericValue(const QString &text, bool *overflow)
{
    bool whole = false;
    return scanNumber(text, overflow, &whole);
}

std::optional<double> WholeNumericValue(const QString &text)
{
    bool overflow = false;
    bool whole = false;
    const double value = scanNumber(text, &overflow, &whole);
    if (overflow || !whole)
        return std::nullopt;
    return value;
}

double RoundHalfEven(double value)
{
    if (!std::isfinite(value))
        return value;
    double rounded = std::round(value); // halves away from zero
    if (std::fabs(value - std::trunc(value)) == 0.5)
        rounded = 2.0 * std::round(value / 2.0);
    return rounded + 0.0; // turns a negative zero into zero
}

namespace {

template <typename Int> std::optional<Int> roundToInteger(double value)
{
    if (!std::isfinite(value))
        return std::nullopt;
    const double rounded = RoundHalfEven(value);
    if (rounded < static_cast<double>(std::numeric_limits<Int>::min()) ||
        rounded > static_cast<double>(std::numeric_limits<Int>::max()))
        return std::nullopt;
    return static_cast<Int>(rounded);
}

} // namespace

std::optional<qint16> ToInt16(double value)
{
    return roundToInteger<qint16>(value);
}

std::optional<qint32> ToInt32(double value)
{
    return roundToInteger<qint32>(value);
}
