// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/EventPump.h"

#include "platform/Clock.h"

#include <algorithm>
#include <cmath>

void SleepLettingEventsRun(Clock &clock, EventPump &pump, double until, double sliceMs,
                           const std::function<bool()> &keepWaiting)
{
    for (double left = until - clock.monotonicSeconds();
         left > 0 && (!keepWaiting || keepWaiting()); left = until - clock.monotonicSeconds()) {
        // Whole milliseconds: a sleep shorter than the clock's resolution could leave the
        // time where it was and the loop spinning.
        clock.sleepMs(std::min(std::ceil(left * 1000.0), sliceMs));
        pump.processEvents();
    }
}
