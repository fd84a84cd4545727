// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QtGlobal>

// The logger's time stamp: 8 bytes, little-endian: year (16 bits), day of the year from
// 1 = 1 January (16 bits), seconds since midnight (32 bits). It is the clock reply, the
// two stamps of the logging status, the first 8 bytes of every memory block and the
// start time of a logging program.
struct LoggerTimeStamp
{
    static constexpr int Size = 8;

    quint16 year = 0;
    quint16 day = 0;
    quint32 seconds = 0;

    // Reads a stamp from bytes[offset .. offset + 7]; missing bytes read as 0.
    static LoggerTimeStamp decode(const QByteArray &bytes, int offset = 0);
    // The stamp of a date-time held as days. The time of day is rounded to the nearest
    // second first, so 23:59:59.6 becomes 00:00:00 of the next day (never second 86400).
    // A count that is no number or lies outside years 1..65535 gives the zero stamp.
    static LoggerTimeStamp fromDays(double days);

    QByteArray encode() const;

    // The check the logger window applies to the stamps it shows: seconds <= 86400,
    // year <= 9999, day <= 366 (bounds included).
    bool passesDetailsCheck() const;
    // The stricter check of the dataset download: seconds < 86400, year < 9999,
    // day <= 366.
    bool passesDownloadCheck() const;
    // All three fields are 0: an erased or never-written stamp.
    bool isZero() const { return year == 0 && day == 0 && seconds == 0; }

    // 1 January of the year, plus day - 1 days, plus seconds / 86400, as a count of days
    // (day 0 = 30 December 1899). Year 0 is the year before year 1.
    double toDays() const;

    bool operator==(const LoggerTimeStamp &other) const
    {
        return year == other.year && day == other.day && seconds == other.seconds;
    }
    bool operator!=(const LoggerTimeStamp &other) const { return !(*this == other); }
};
