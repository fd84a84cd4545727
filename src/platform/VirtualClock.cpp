// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/VirtualClock.h"

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

void VirtualClock::sleepMs(double ms)
{
    if (ms > 0)
        advanceSeconds(ms / 1000.0);
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
