// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDateTime>
#include <QTime>

// Times of day as seconds since midnight with fractions, in single precision, as the PC
// logging schedules its readings.

constexpr float SecondsPerDay = 86400.0f;

// The signed time in seconds from a to b, going the short way round midnight: b - a,
// brought into -43200 .. under 43200. TimeDiff(86390, 10) is 20; TimeDiff(10, 86390) is -20.
float TimeDiff(float a, float b);

// The time of day of t (its own date and time fields) in seconds since midnight.
float SecondsSinceMidnight(const QDateTime &t);

// The clock time of a number of seconds since midnight, rounded to the millisecond and
// taken round the clock (86400 is midnight again, -1 is 23:59:59). Invalid for NaN or an
// infinity.
QTime TimeOfDayFromSeconds(double seconds);
