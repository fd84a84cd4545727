// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/FakeSerialPort.h"
#include "platform/VirtualClock.h"

#include <algorithm>
#include <functional>

// What the event loop does for the link driver, on virtual time: moves the clock to the
// next arrival of bytes or the alarm, whichever comes first, and tells the driver. Ends
// when `done` holds, when nothing more can happen, or after `limitSeconds`.
inline void runLinkEvents(VirtualClock &clock, FakeSerialPort &port,
                          const std::function<bool()> &done, double limitSeconds = 60)
{
    const double end = clock.monotonicSeconds() + limitSeconds;
    port.announceArrivals();
    while (!done()) {
        if (clock.ringDueAlarm())
            continue;
        const double arrival = port.nextArrival();
        const double ring = clock.nextAlarm();
        double next = arrival >= 0 && ring >= 0 ? std::min(arrival, ring) : std::max(arrival, ring);
        if (next < 0 || next > end)
            break;
        clock.advanceTo(next);
        port.announceArrivals();
    }
}
