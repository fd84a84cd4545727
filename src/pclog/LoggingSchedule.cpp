// SPDX-License-Identifier: GPL-3.0-or-later
#include "LoggingSchedule.h"

#include "common/NumericText.h"

namespace {

constexpr qint64 DueEarlyMs = 500;
constexpr qint64 PeriodsBehindLimit = 5;

} // namespace

qint64 NextMultiple(const QDateTime &now, qint16 interval)
{
    const qint64 nowMs = now.toMSecsSinceEpoch();
    if (interval < 1)
        return nowMs;
    const qint64 clockMs = now.time().msecsSinceStartOfDay();
    const auto whole = static_cast<qint64>(RoundHalfEven(double(clockMs) / 1000.0));
    const qint64 next = (whole / interval + 1) * interval;
    return nowMs + next * 1000 - clockMs;
}

void LoggingSchedule::start(qint16 logInterval, qint16 avgInterval, const QDateTime &now)
{
    LogInterval = logInterval;
    AvgInterval = avgInterval;
    realign(now);
}

void LoggingSchedule::realign(const QDateTime &now)
{
    NextLogTime = NextMultiple(now, LogInterval);
    NextAvgTime = NextMultiple(now, AvgInterval);
}

bool LoggingSchedule::readingDue(qint64 nowMs) const
{
    return nowMs + DueEarlyMs > NextLogTime;
}

bool LoggingSchedule::farBehind(qint64 nowMs) const
{
    return nowMs + DueEarlyMs - NextLogTime > PeriodsBehindLimit * LogInterval * 1000;
}

void LoggingSchedule::skipMissedReadings(qint64 nowMs)
{
    const qint64 periodMs = qint64(LogInterval) * 1000;
    if (nowMs >= NextLogTime)
        NextLogTime += ((nowMs - NextLogTime) / periodMs + 1) * periodMs;
}
