// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "link/Exchange.h"

// A pause on the line: nothing is written and nothing else runs until `seconds` have
// passed (the instrument's rest after a test-mode reply, the logger window's pace between
// packets). Bytes that wait or come meanwhile are handed on to the exchange after it, as
// if the pause were not there: a block asked for ahead stays its own, bytes nothing asked
// for are dropped as unasked. A pause of no length still ends from the event loop, never
// inside the request that queued it: a request's first step uses one to look at the
// link's state when its turn comes.
class PauseExchange : public Exchange
{
public:
    explicit PauseExchange(double seconds) : m_seconds(seconds) {}

    ExchangeStep start(double now) override;
    ExchangeStep feed(const QByteArray &bytes, double now) override;
    bool takesWaitingBytes() const override { return true; }
    bool needsOpenPort() const override { return false; }

private:
    double m_seconds;
    double m_end = 0;
    QByteArray m_came;
};
