// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDate>
#include <QDateTime>
#include <QString>
#include <QTime>

// The named date and time formats of the regional settings, taken from the default locale
// (QLocale()), and the date-time text of the logger windows and files.

enum class NamedFormat {
    ShortDate,  // "Short Date": the locale's short date, e.g. 05/12/2026 (en_GB)
    LongTime,   // "Long Time": hours, minutes and seconds, e.g. 17:14:08 or 5:14:08 PM
    LongDate,   // "Long date": the locale's long date, e.g. Saturday, 5 December 2026
    ShortTime,  // "short time": hours and minutes, e.g. 17:14
    MediumDate, // "Medium Date": day, abbreviated month name, two-digit year: 05-Dec-26
};

QString FormatNamed(const QDateTime &t, NamedFormat format);

QString ShortDateText(const QDate &date);
QString LongTimeText(const QTime &time);
QString LongDateText(const QDate &date);
QString ShortTimeText(const QTime &time);
QString MediumDateText(const QDate &date);

// The long time pattern of a locale: its own long time with seconds but without the
// time-zone name that Qt's long format adds ("HH:mm:ss" for en_GB, "h:mm:ss AP" for en_US).
QString LongTimePattern(const QLocale &locale);

// A local date-time as ISO 8601 with its offset from UTC, "2026-10-25T01:30:00+01:00",
// whatever the locale: the same text at every station, and the repeated autumn hour told
// apart. Empty for an invalid date-time.
QString IsoLocalTimeText(const QDateTime &t);

// A logger date-time as text: named, the "Medium Date", a blank and the "Long Time"
// (05-Dec-26 17:14:08); not named, the "Short Date", a blank and the "Long Time"
// (05/12/2026 17:14:08). Seconds are shown as the clock shows them, fractions dropped.
// Empty for an invalid date-time.
QString FormatLoggerTime(const QDateTime &t, bool named = true);
// The same for a date-time held as a count of days.
QString FormatLoggerTime(double days, bool named = true);
