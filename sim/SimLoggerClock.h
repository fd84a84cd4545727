// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/Clock.h"

#include <QtGlobal>

// The logger's own clock: the computer's local time plus an offset, which setting the
// clock changes. Times are local milliseconds or seconds on the Julian day count
// (SimTimeStamp.h), so the logger's time is a plain number.
class SimLoggerClock
{
public:
    explicit SimLoggerClock(const Clock &clock, double offsetSeconds = 0);

    qint64 nowMs() const;
    // Whole seconds, rounded down.
    qint64 nowSeconds() const;
    // Sets the clock so that it reads `localSeconds` now.
    void setTo(qint64 localSeconds);

    // Logger time minus computer time.
    qint64 offsetMs() const { return m_offsetMs; }
    double offsetSeconds() const { return static_cast<double>(m_offsetMs) / 1000.0; }
    // The computer's local time when the logger reads `loggerMs`.
    qint64 computerMsAt(qint64 loggerMs) const { return loggerMs - m_offsetMs; }

private:
    qint64 computerNowMs() const;

    const Clock &m_clock;
    qint64 m_offsetMs;
};
