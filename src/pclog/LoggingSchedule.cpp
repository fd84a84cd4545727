#include "LoggingSchedule.h"

#include "common/NumericText.h"
#include "common/TimeOfDay.h"

namespace {

constexpr float DueEarlySeconds = 0.5f;
constexpr int PeriodsBehindLimit = 5;
// A schedule on time has its next reading at most a period and half a second ahead (the
// start rounds the time of day); a second more leaves room for single precision.
constexpr float AheadMarginSeconds = 1.0f;

float wrapped(float t)
{
    return t >= SecondsPerDay ? t - SecondsPerDay : t;
}

} // namespace

float NextMultiple(float t, qint16 interval)
{
    if (interval < 1)
        return t;
    const auto whole = static_cast<qint32>(RoundHalfEven(t));
    return wrapped(static_cast<float>((whole / interval + 1) * interval));
}

void LoggingSchedule::start(qint16 logInterval, qint16 avgInterval, float t)
{
    LogInterval = logInterval;
    AvgInterval = avgInterval;
    realign(t);
}

void LoggingSchedule::realign(float t)
{
    NextLogTime = NextMultiple(t, LogInterval);
    NextAvgTime = NextMultiple(t, AvgInterval);
}

bool LoggingSchedule::readingDue(float t) const
{
    return TimeDiff(t + DueEarlySeconds, NextLogTime) < 0;
}

bool LoggingSchedule::farBehind(float t) const
{
    return TimeDiff(t + DueEarlySeconds, NextLogTime) <
           -static_cast<float>(PeriodsBehindLimit * LogInterval);
}

bool LoggingSchedule::farAhead(float t) const
{
    return TimeDiff(t, NextLogTime) > static_cast<float>(LogInterval) + AheadMarginSeconds;
}

bool LoggingSchedule::periodEnded() const
{
    return TimeDiff(NextLogTime, NextAvgTime) <= 0;
}

void LoggingSchedule::nextPeriod()
{
    NextAvgTime = wrapped(NextAvgTime + AvgInterval);
}

void LoggingSchedule::nextReading()
{
    NextLogTime = wrapped(NextLogTime + LogInterval);
}
