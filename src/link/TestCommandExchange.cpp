// SPDX-License-Identifier: GPL-3.0-or-later
#include "link/TestCommandExchange.h"

#include <utility>

namespace {

// The line end before the prompt and the "TEST:" prompt.
constexpr int PromptTailSize = 6;

} // namespace

TestCommandExchange::TestCommandExchange(QByteArray command, double seconds, bool entersTestMode)
    : m_command(std::move(command)), m_seconds(seconds)
{
    if (entersTestMode)
        m_entry.emplace(TextCommandExchange::testModeEntry(seconds));
}

ExchangeStep TestCommandExchange::start(double now)
{
    return m_entry ? m_entry->start(now) : pause(now);
}

ExchangeStep TestCommandExchange::pause(double now)
{
    m_pauseEnd = now + PauseSeconds;
    return ExchangeStep::needMore(*m_pauseEnd);
}

ExchangeStep TestCommandExchange::feed(const QByteArray &bytes, double now)
{
    if (m_reply) {
        const ExchangeStep step = m_reply->feed(bytes, now);
        // A "B" command needs no prompt: its time passing ends it.
        if (step.state == ExchangeStep::State::Failed && m_command.startsWith('B'))
            return ExchangeStep::done();
        if (step.state == ExchangeStep::State::Failed)
            return ExchangeStep::failed(step.failure, QStringLiteral("TEST: prompt missing"));
        return step;
    }
    if (!m_pauseEnd) {
        const ExchangeStep entered = m_entry->feed(bytes, now);
        if (entered.state == ExchangeStep::State::Failed)
            return ExchangeStep::failed(entered.failure, QStringLiteral("TEST: prompt missing"));
        if (entered.state == ExchangeStep::State::Done)
            return pause(now);
        return entered;
    }
    // What comes during the pause stays on the line and begins the command's reply.
    m_duringPause += bytes;
    if (now < *m_pauseEnd)
        return ExchangeStep::needMore(*m_pauseEnd);
    m_reply.emplace(m_command, TextCommandExchange::endsWithTestPrompt, m_seconds,
                    std::exchange(m_duringPause, {}));
    return m_reply->start(now);
}

QString TestCommandExchange::text() const
{
    const QByteArray reply = m_reply ? m_reply->reply() : QByteArray();
    return reply.size() >= PromptTailSize ? QString::fromLatin1(reply.chopped(PromptTailSize))
                                          : QString();
}
