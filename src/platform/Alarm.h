// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <QTimer>

#include <functional>
#include <utility>

class Clock;
class VirtualClock;

// A single-shot alarm on the program's monotonic clock: the time limits of the link's
// exchanges, run from the event loop instead of a sleeping wait.
class Alarm
{
public:
    virtual ~Alarm() = default;
    // Rings once at monotonic time `at` (as soon as it can when that has passed),
    // replacing any earlier setting.
    virtual void setAt(double at) = 0;
    virtual void cancel() = 0;
    void setHandler(std::function<void()> handler) { m_handler = std::move(handler); }

protected:
    void ring()
    {
        if (m_handler)
            m_handler();
    }

private:
    std::function<void()> m_handler;
};

// The alarm of the running program: a precise single-shot QTimer.
class QtAlarm : public Alarm
{
public:
    explicit QtAlarm(Clock &clock);
    void setAt(double at) override;
    void cancel() override { m_timer.stop(); }

private:
    Clock &m_clock;
    QTimer m_timer;
};

// The alarm of tests and of anything else on virtual time: whoever moves the clock asks
// when it is due and rings it.
class VirtualAlarm : public Alarm
{
public:
    explicit VirtualAlarm(VirtualClock &clock);
    ~VirtualAlarm() override;
    VirtualAlarm(const VirtualAlarm &) = delete;
    VirtualAlarm &operator=(const VirtualAlarm &) = delete;
    void setAt(double at) override { m_due = at; }
    void cancel() override { m_due = -1.0; }
    // When the alarm is set for, or a negative value.
    double due() const { return m_due; }
    // Rings when the clock has reached the set time. True when it rang.
    bool ringIfDue();

private:
    VirtualClock &m_clock;
    double m_due = -1.0;
};
