// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/EventPump.h"

#include <functional>

// An event pump for tests: counts its calls and runs a hook in their place, so a test
// can make "a timer fire" in the middle of an exchange.
class FakeEventPump : public EventPump
{
public:
    void processEvents() override
    {
        ++calls;
        if (hook)
            hook();
    }

    void processEventsExceptInput() override { ++callsExceptInput; }

    int calls = 0;
    int callsExceptInput = 0;
    std::function<void()> hook;
};
