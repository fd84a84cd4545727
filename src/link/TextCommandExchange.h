// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "link/Exchange.h"

#include <functional>

// A text command and its reply: the command goes out as it is, and every byte that comes
// is added to the reply until the reply is complete or the time (1 s unless told
// otherwise) has passed since the command. Bytes already there when the command goes out
// are taken even with no time at all; bytes that come when the time is up are not.
class TextCommandExchange : public Exchange
{
public:
    using Complete = std::function<bool(const QByteArray &reply)>;
    static constexpr double DefaultSeconds = 1.0;

    // `early`: bytes that came before the command and begin its reply.
    TextCommandExchange(QByteArray command, Complete complete, double seconds = DefaultSeconds,
                        QByteArray early = {});

    // "T" and its reply up to the test prompt "TEST:".
    static TextCommandExchange testModeEntry(double seconds = DefaultSeconds);
    static bool endsWithTestPrompt(const QByteArray &reply);

    ExchangeStep start(double now) override;
    ExchangeStep feed(const QByteArray &bytes, double now) override;

    const QByteArray &command() const { return m_command; }
    // Everything that came so far.
    const QByteArray &reply() const { return m_reply; }

protected:
    // The step for a reply that has come complete: done, unless a typed command finds it
    // cannot be used.
    virtual ExchangeStep completed() { return ExchangeStep::done(); }

private:
    QByteArray m_command;
    Complete m_complete;
    double m_seconds;
    double m_start = 0;
    QByteArray m_reply;
};
