// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDateTime>
#include <QtGlobal>

#include <memory>

class Alarm;

// Time as the program sees it. Time-outs use the monotonic seconds (a wait that spans
// midnight or a clock change still ends on time); the millisecond counter wraps like a
// 32-bit system counter; now() is the local date and time. A virtual clock lets tests
// run long waits in no real time.
class Clock
{
public:
    virtual ~Clock() = default;

    virtual double monotonicSeconds() const = 0;
    virtual qint32 msCounter() const = 0;
    virtual QDateTime now() const = 0;
    // A single-shot alarm on this clock's monotonic time, for waits that must not block.
    virtual std::unique_ptr<Alarm> makeAlarm() = 0;
};
