// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QtGlobal>

#include <optional>

// The logger's time: a local date and time without a time zone, counted from the start
// of the Julian day count, so that every day is exactly 86400 s long and records can be
// spaced by simple addition. Whole seconds for record times, milliseconds for clocks.
namespace SimLocalTime {

constexpr qint64 SecondsPerDay = 86400;
constexpr qint64 MsPerDay = SecondsPerDay * 1000;

// Floor division that also holds for negative numerators.
qint64 floorDiv(qint64 value, qint64 divisor);

qint64 msOf(const QDateTime &local);
qint64 secondsOf(const QDateTime &local);
// The date and time of a count of seconds, as a local QDateTime (for tests and texts).
QDateTime dateTimeOf(qint64 seconds);

} // namespace SimLocalTime

// The logger's 8-byte time stamp, little-endian: year (16 bits), day of the year from 1
// (16 bits), seconds since midnight (32 bits).
struct SimTimeStamp
{
    static constexpr int Size = 8;

    quint16 year = 0;
    quint16 day = 0;
    quint32 seconds = 0;

    static SimTimeStamp fromSeconds(qint64 localSeconds);
    // The stamp at `offset` of `bytes`; missing bytes read as 0.
    static SimTimeStamp read(const QByteArray &bytes, int offset = 0);

    QByteArray bytes() const;
    bool isZero() const { return year == 0 && day == 0 && seconds == 0; }
    // The moment the stamp stands for, when a calendar holds it: year 1..9999, a day the
    // year has, seconds below 86400.
    std::optional<qint64> toSeconds() const;

    friend bool operator==(const SimTimeStamp &a, const SimTimeStamp &b)
    {
        return a.year == b.year && a.day == b.day && a.seconds == b.seconds;
    }
};
