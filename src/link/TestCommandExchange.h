// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "link/TextCommandExchange.h"

#include <optional>

// A command of the instrument's test mode: when asked to, test mode is entered first with
// "T" (its "TEST:" within the time); then, after 50 ms, the command goes out as given and
// its reply must end with "TEST:" within the time. A command beginning with "B" is taken
// without the prompt once its time has passed. The value is the reply without its last
// six characters (the line end and "TEST:"); empty when shorter.
class TestCommandExchange : public Exchange
{
public:
    static constexpr double PauseSeconds = 0.05;

    TestCommandExchange(QByteArray command, double seconds, bool entersTestMode);

    ExchangeStep start(double now) override;
    ExchangeStep feed(const QByteArray &bytes, double now) override;

    // The reply's text (done only).
    QString text() const;

private:
    ExchangeStep pause(double now);

    QByteArray m_command;
    double m_seconds;
    std::optional<TextCommandExchange> m_entry;
    // The end of the pause before the command, once it began.
    std::optional<double> m_pauseEnd;
    QByteArray m_duringPause;
    std::optional<TextCommandExchange> m_reply;
};
