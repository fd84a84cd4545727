// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <memory>
#include <utility>

// What an object that queues requests on the link hands its callbacks: a request may end
// after the object has gone (a window closed and deleted meanwhile), and a guarded
// callback then does nothing.
class Lifetime
{
public:
    Lifetime() = default;
    Lifetime(const Lifetime &) = delete;
    Lifetime &operator=(const Lifetime &) = delete;

    // Whether the object is still there, for a caller that must look after a call that may
    // have replaced it.
    std::weak_ptr<int> watch() const { return m_token; }

    template <typename F> auto guard(F call) const
    {
        return [alive = std::weak_ptr<int>(m_token), call = std::move(call)](auto &&...args) {
            if (alive.lock())
                call(std::forward<decltype(args)>(args)...);
        };
    }

private:
    const std::shared_ptr<int> m_token = std::make_shared<int>(0);
};
