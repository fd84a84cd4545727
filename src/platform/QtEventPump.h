// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/EventPump.h"

// Lets the application's pending events run.
class QtEventPump : public EventPump
{
public:
    void processEvents() override;
    void processEventsExceptInput() override;
};
