// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/VirtualClock.h"

#include "platform/Alarm.h"

#include <algorithm>

#include <cmath>

VirtualClock::VirtualClock(const QDateTime &start, qint32 msCounterStart)
    : m_wallAtZero(start), m_msCounterStart(msCounterStart)
{}

qint32 VirtualClock::msCounter() const
{
    const auto elapsedMs = static_cast<qint64>(std::floor(m_monotonicSeconds * 1000.0));
    const auto counter = static_cast<quint32>(m_msCounterStart) + static_cast<quint32>(elapsedMs);
    return static_cast<qint32>(counter);
}

QDateTime VirtualClock::now() const
{
    return m_wallAtZero.addMSecs(static_cast<qint64>(std::floor(m_monotonicSeconds * 1000.0)));
}

void VirtualClock::advanceSeconds(double seconds)
{
    if (seconds > 0)
        advanceTo(m_monotonicSeconds + seconds);
}

void VirtualClock::advanceTo(double monotonicSeconds)
{
    if (monotonicSeconds <= m_monotonicSeconds)
        return;
    m_monotonicSeconds = monotonicSeconds;
    if (onAdvance)
        onAdvance(m_monotonicSeconds);
}

void VirtualClock::setNow(const QDateTime &now)
{
    m_wallAtZero = now.addMSecs(-static_cast<qint64>(std::floor(m_monotonicSeconds * 1000.0)));
}

std::unique_ptr<Alarm> VirtualClock::makeAlarm()
{
    return std::make_unique<VirtualAlarm>(*this);
}

double VirtualClock::nextAlarm() const
{
    double next = -1.0;
    for (const VirtualAlarm *alarm : m_alarms) {
        if (alarm->due() >= 0 && (next < 0 || alarm->due() < next))
            next = alarm->due();
    }
    return next;
}

bool VirtualClock::ringDueAlarm()
{
    // A copy: a ringing alarm may make or drop alarms.
    const std::vector<VirtualAlarm *> alarms = m_alarms;
    for (VirtualAlarm *alarm : alarms) {
        if (alarm->ringIfDue())
            return true;
    }
    return false;
}

void VirtualClock::removeAlarm(VirtualAlarm *alarm)
{
    m_alarms.erase(std::remove(m_alarms.begin(), m_alarms.end(), alarm), m_alarms.end());
}
