// SPDX-License-Identifier: GPL-3.0-or-later
#include "logger/LoggingStart.h"

#include "common/DateTimeDays.h"
#include "common/NumericText.h"

#include <cmath>

namespace LoggingStart {

namespace {

constexpr qint64 SecondsPerHour = 3600;

} // namespace

Pickers DefaultStart(double loggerNow, qint32 avgPeriod)
{
    Pickers pickers;
    pickers.date = std::floor(loggerNow);
    const auto seconds =
        static_cast<qint64>(RoundHalfEven(DaysToSeconds(loggerNow - pickers.date)));
    const qint64 step = avgPeriod > SecondsPerHour ? avgPeriod : SecondsPerHour;
    const qint64 start = (seconds / step + 1) * step;
    pickers.time = SecondsToDays(static_cast<double>(start));
    return pickers;
}

double ImmediateStart(double loggerNow)
{
    return loggerNow - SecondsToDays(1);
}

} // namespace LoggingStart
