// SPDX-License-Identifier: GPL-3.0-or-later
#include "SimLoggerClock.h"

#include "SimTimeStamp.h"

#include <cmath>

SimLoggerClock::SimLoggerClock(const Clock &clock, double offsetSeconds)
    : m_clock(clock), m_offsetMs(static_cast<qint64>(std::llround(offsetSeconds * 1000.0)))
{}

qint64 SimLoggerClock::computerNowMs() const
{
    return SimLocalTime::msOf(m_clock.now());
}

qint64 SimLoggerClock::nowMs() const
{
    return computerNowMs() + m_offsetMs;
}

qint64 SimLoggerClock::nowSeconds() const
{
    return SimLocalTime::floorDiv(nowMs(), 1000);
}

void SimLoggerClock::setTo(qint64 localSeconds)
{
    m_offsetMs = localSeconds * 1000 - computerNowMs();
}
