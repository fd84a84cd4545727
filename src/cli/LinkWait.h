// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <functional>
#include <memory>
#include <optional>

class SensorLink;

// How a command waits for the link's queued requests: a local event loop at the top of
// the command, until `done` holds or no request runs or waits. A test runs the link's
// events on virtual time instead, through `runner`.
using LinkEventRunner = std::function<void(const std::function<bool()> &done)>;
void RunLinkUntil(SensorLink &link, const LinkEventRunner &runner,
                  const std::function<bool()> &done);

// One answer from a queued request, waited for. The slot outlives the wait, so that an
// answer that comes after it (the wait gave up) writes nowhere that has gone.
template <typename T> class LinkAnswer
{
public:
    // The callback to hand the request.
    std::function<void(const T &)> taker() const
    {
        return [slot = m_slot](const T &value) { *slot = value; };
    }
    // The answer, or nothing when the link's requests ended without one.
    std::optional<T> wait(SensorLink &link, const LinkEventRunner &runner) const
    {
        RunLinkUntil(link, runner, [slot = m_slot] { return slot->has_value(); });
        return *m_slot;
    }

private:
    std::shared_ptr<std::optional<T>> m_slot = std::make_shared<std::optional<T>>();
};
