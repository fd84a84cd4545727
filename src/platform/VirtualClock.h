// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/Clock.h"

#include <functional>
#include <vector>

class VirtualAlarm;

// A clock that moves only when told to (a test, or the event loop's stand-in moving it to
// the next alarm or arrival). Tests and the in-process simulator share one, so a
// one-second time-out costs no real second.
class VirtualClock : public Clock
{
public:
    explicit VirtualClock(const QDateTime &start = QDateTime(QDate(2026, 6, 1), QTime(10, 0, 0)),
                          qint32 msCounterStart = 1000000);

    double monotonicSeconds() const override { return m_monotonicSeconds; }
    qint32 msCounter() const override;
    QDateTime now() const override;
    std::unique_ptr<Alarm> makeAlarm() override;

    void advanceSeconds(double seconds);
    void advanceTo(double monotonicSeconds);
    // Moves the wall clock (as a user setting the computer's clock would); monotonic
    // time is not affected.
    void setNow(const QDateTime &now);

    // Called after every advance, with the new monotonic time (the simulator uses it to
    // run the instrument's own time-driven work).
    std::function<void(double)> onAdvance;

    // The alarms set on this clock: whoever moves the clock rings them when due.
    // When the earliest set alarm is due, or a negative value when none is set.
    double nextAlarm() const;
    // Rings one alarm that is due. True when it rang one.
    bool ringDueAlarm();
    // Used by VirtualAlarm.
    void addAlarm(VirtualAlarm *alarm) { m_alarms.push_back(alarm); }
    void removeAlarm(VirtualAlarm *alarm);

private:
    std::vector<VirtualAlarm *> m_alarms;
    double m_monotonicSeconds = 0;
    QDateTime m_wallAtZero;
    qint32 m_msCounterStart;
};
