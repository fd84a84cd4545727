// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/Alarm.h"

#include "platform/Clock.h"
#include "platform/VirtualClock.h"

#include <algorithm>
#include <cmath>

QtAlarm::QtAlarm(Clock &clock) : m_clock(clock)
{
    m_timer.setSingleShot(true);
    m_timer.setTimerType(Qt::PreciseTimer);
    QObject::connect(&m_timer, &QTimer::timeout, [this] { ring(); });
}

void QtAlarm::setAt(double at)
{
    // Whole milliseconds, rounded up: an alarm that rings a moment early would find its
    // time not yet reached and have to be set again.
    const double ms = std::ceil((at - m_clock.monotonicSeconds()) * 1000.0);
    m_timer.start(static_cast<int>(std::clamp(ms, 0.0, 24.0 * 3600 * 1000)));
}

VirtualAlarm::VirtualAlarm(VirtualClock &clock) : m_clock(clock)
{
    m_clock.addAlarm(this);
}

VirtualAlarm::~VirtualAlarm()
{
    m_clock.removeAlarm(this);
}

bool VirtualAlarm::ringIfDue()
{
    if (m_due < 0 || m_clock.monotonicSeconds() < m_due)
        return false;
    m_due = -1.0;
    ring();
    return true;
}
