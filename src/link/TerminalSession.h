// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "link/Exchange.h"

#include <functional>

// The terminal window's hold on the line, as one exchange that lasts while the window is
// shown: every chunk that arrives goes to `onReceived`, and the keys typed go out as they
// come (the link pokes the session after each). It has no time limit of its own: its
// deadline only wakes it now and then. It ends when closed.
class TerminalSession : public Exchange
{
public:
    // How often an open session is woken without bytes or keys.
    static constexpr double WakeSeconds = 3600.0;

    explicit TerminalSession(std::function<void(const QByteArray &)> onReceived)
        : m_onReceived(std::move(onReceived))
    {}

    ExchangeStep start(double now) override { return next(now); }
    ExchangeStep feed(const QByteArray &bytes, double now) override;
    // What the terminal has is the user's: bytes that wait when it opens are shown.
    bool takesWaitingBytes() const override { return true; }

    // Keys to write at the next step.
    void send(const QByteArray &bytes) { m_outgoing += bytes; }
    // The next step ends the session.
    void close() { m_closed = true; }

private:
    ExchangeStep next(double now);

    std::function<void(const QByteArray &)> m_onReceived;
    QByteArray m_outgoing;
    bool m_closed = false;
};
