// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/SystemClock.h"

#include "platform/Alarm.h"

SystemClock::SystemClock()
{
    m_sinceStart.start();
}

double SystemClock::monotonicSeconds() const
{
    return static_cast<double>(m_sinceStart.nsecsElapsed()) / 1e9;
}

qint32 SystemClock::msCounter() const
{
    // The low 32 bits of a millisecond count, read as signed, like the system's
    // millisecond counter: it wraps after about 49.7 days.
    // msecsSinceReference() is the moment the timer started, so the time passed since
    // then is added to it.
    const auto ms =
        static_cast<quint64>(m_sinceStart.msecsSinceReference() + m_sinceStart.elapsed());
    return static_cast<qint32>(static_cast<quint32>(ms & 0xFFFFFFFFu));
}

QDateTime SystemClock::now() const
{
    return QDateTime::currentDateTime();
}

std::unique_ptr<Alarm> SystemClock::makeAlarm()
{
    return std::make_unique<QtAlarm>(*this);
}
