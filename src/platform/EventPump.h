// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <functional>

class Clock;

// "Let pending window events run": called by the waits that keep the window alive
// while they wait for the instrument.
class EventPump
{
public:
    virtual ~EventPump() = default;
    virtual void processEvents() = 0;
    // Lets the window be shown and painted (also when the window manager maps it late)
    // without the user's input: a long task that must not be interrupted calls it.
    virtual void processEventsExceptInput() = 0;
};

// Sleeps until the monotonic time `until` (seconds) in slices of at most `sliceMs` whole
// milliseconds, letting window events run after each; ends early as soon as
// `keepWaiting`, when given, says no.
void SleepLettingEventsRun(Clock &clock, EventPump &pump, double until, double sliceMs,
                           const std::function<bool()> &keepWaiting = {});
