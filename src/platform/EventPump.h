#pragma once

// "Let pending window events run": called by the waits that keep the window alive
// while they wait for the instrument.
class EventPump
{
public:
    virtual ~EventPump() = default;
    virtual void processEvents() = 0;
};
