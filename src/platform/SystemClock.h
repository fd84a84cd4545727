// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/Clock.h"

#include <QElapsedTimer>

// The computer's own clocks.
class SystemClock : public Clock
{
public:
    SystemClock();

    double monotonicSeconds() const override;
    qint32 msCounter() const override;
    QDateTime now() const override;
    std::unique_ptr<Alarm> makeAlarm() override;

private:
    QElapsedTimer m_sinceStart;
};
