// SPDX-License-Identifier: GPL-3.0-or-later
#include "DateTimeDays.h"

#include <cmath>

namespace {

constexpr qint64 MsPerDay = 86400000;
constexpr double SecondsPerDay = 86400.0;

QDate dayZero()
{
    return QDate(1899, 12, 30);
}

// The supported range, the same as the usual day counts of desktop software.
double firstDay()
{
    return static_cast<double>(dayZero().daysTo(QDate(100, 1, 1)));
}

double endDay()
{
    return static_cast<double>(dayZero().daysTo(QDate(9999, 12, 31)) + 1);
}

// Division rounding towards minus infinity, so that a negative count falls on the day
// before day 0 rather than on day 0.
qint64 floorDiv(qint64 dividend, qint64 divisor)
{
    qint64 quotient = dividend / divisor;
    if ((dividend % divisor != 0) && ((dividend < 0) != (divisor < 0)))
        --quotient;
    return quotient;
}

} // namespace

double DateTimeToDays(const QDateTime &t)
{
    if (!t.isValid())
        return 0.0;
    const qint64 ms = dayZero().daysTo(t.date()) * MsPerDay + t.time().msecsSinceStartOfDay();
    return static_cast<double>(ms) / static_cast<double>(MsPerDay);
}

QDateTime DaysToDateTime(double days)
{
    // Checked before the conversion so that a huge count cannot overflow the milliseconds.
    if (!std::isfinite(days) || days < firstDay() - 1.0 || days > endDay() + 1.0)
        return QDateTime();
    const qint64 totalMs = std::llround(days * static_cast<double>(MsPerDay));
    const qint64 day = floorDiv(totalMs, MsPerDay);
    if (static_cast<double>(day) < firstDay() || static_cast<double>(day) >= endDay())
        return QDateTime();
    const auto msOfDay = static_cast<int>(totalMs - day * MsPerDay);
    return QDateTime(dayZero().addDays(day), QTime::fromMSecsSinceStartOfDay(msOfDay));
}

double SecondsToDays(double seconds)
{
    return seconds / SecondsPerDay;
}

double DaysToSeconds(double days)
{
    return days * SecondsPerDay;
}
