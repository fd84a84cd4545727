// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDateTime>
#include <QtGlobal>

// When readings are taken and averaging periods end, as moments in milliseconds since
// the epoch (UTC). The first reading and the end of the first averaging period fall on
// whole multiples of their periods counted from midnight on the clock; from then on they
// follow every period of real time, so a change of summer time neither loses nor repeats
// a reading, and the clock time of a moment is only looked up to write it. A reading is
// due from half a second before its time.
class LoggingSchedule
{
public:
    // Aligns the schedule to the clock at `now`: the first reading and the end of the
    // first averaging period are the next multiples of their periods after the clock
    // time of `now` (rounded to a whole second). Both periods must be positive.
    void start(qint16 logInterval, qint16 avgInterval, const QDateTime &now);
    // Recomputes both times from `now`, keeping the periods.
    void realign(const QDateTime &now);

    // The next reading is due at nowMs (from half a second before its time on).
    bool readingDue(qint64 nowMs) const;
    // More than five log periods behind at nowMs: the program was held up.
    bool farBehind(qint64 nowMs) const;
    // Passes over the readings missed while held up: the next reading is the first one
    // of the schedule after nowMs. The periods keep their ends.
    void skipMissedReadings(qint64 nowMs);
    void nextPeriod() { NextAvgTime += qint64(AvgInterval) * 1000; }
    void nextReading() { NextLogTime += qint64(LogInterval) * 1000; }

    // The timer interval that keeps readings within one interval of their time.
    static int timerIntervalMs(qint16 logInterval) { return logInterval > 1 ? 1000 : 500; }

    qint16 LogInterval = 0;
    qint16 AvgInterval = 0;
    qint64 NextLogTime = 0;
    qint64 NextAvgTime = 0;
};

// The moment (ms since the epoch) of the next whole multiple of `interval` seconds,
// counted from midnight on the clock, after the clock time of `now` rounded to a whole
// second. A period of no seconds has no multiples: `now` itself.
qint64 NextMultiple(const QDateTime &now, qint16 interval);
