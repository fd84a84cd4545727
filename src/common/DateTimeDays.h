// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDateTime>

// Date-times held as a count of days, double precision, whose fraction is the time of day:
// day 0 is 30 December 1899 00:00, 1.5 is 31 December 1899 12:00, 46361.25 is
// 5 December 2026 06:00. The count runs on linearly before day 0 too (-0.25 is
// 29 December 1899 18:00). Differences of date-times are such counts as well.
//
// The count carries the date and time fields as they stand, without any time-zone
// conversion: the logger's clock knows no time zone, and neither does this count.

// The count of t's own date and time fields; 0 for an invalid date-time.
double DateTimeToDays(const QDateTime &t);

// The local date-time of a count, rounded to the nearest millisecond, so that a date-time
// with whole milliseconds comes back exactly. Invalid outside 1 January 100 to
// 31 December 9999 and for NaN or infinities. (A local time that a daylight-saving change
// skips does not exist; Qt moves such a time past the gap.)
QDateTime DaysToDateTime(double days);

// A number of seconds as a count of days (s / 86400), and back.
double SecondsToDays(double seconds);
double DaysToSeconds(double days);
