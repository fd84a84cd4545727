// SPDX-License-Identifier: GPL-3.0-or-later
#include "logger/LoggerClock.h"

#include "logger/LoggerBlock.h"

#include "common/DateTimeDays.h"

#include <cmath>
#include <cstdlib>

namespace {

constexpr qint64 NormalLimitMs = 300 * 1000;
constexpr qint64 RedTextLimitMs = 3900 * 1000;

} // namespace

ClockAlarm ClockAlarmFor(double clockOffsetDays)
{
    const double ms = std::fabs(DaysToSeconds(clockOffsetDays) * 1000.0);
    if (!std::isfinite(ms) || ms > static_cast<double>(RedTextLimitMs) + 0.5)
        return ClockAlarm::RedBackground;
    const auto wholeMs = std::llround(ms);
    if (wholeMs <= NormalLimitMs)
        return ClockAlarm::Normal;
    if (wholeMs <= RedTextLimitMs)
        return ClockAlarm::RedText;
    return ClockAlarm::RedBackground;
}

bool AdvanceNextRecord(LoggerState &state, double loggerNow)
{
    if (state.AvgPeriod < 1 || !state.logging() || loggerNow < state.NextRecordTime)
        return false;
    const double period = SecondsToDays(state.AvgPeriod);
    state.NextRecordTime += period;
    if (loggerNow >= state.NextRecordTime)
        state.NextRecordTime += period;
    state.TopFill += LoggerBlock::SlotSize;
    return true;
}
