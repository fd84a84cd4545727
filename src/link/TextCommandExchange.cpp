// SPDX-License-Identifier: GPL-3.0-or-later
#include "link/TextCommandExchange.h"

#include <utility>

TextCommandExchange::TextCommandExchange(QByteArray command, Complete complete, double seconds,
                                         QByteArray early)
    : m_command(std::move(command)), m_complete(std::move(complete)), m_seconds(seconds),
      m_reply(std::move(early))
{}

TextCommandExchange TextCommandExchange::testModeEntry(double seconds)
{
    return TextCommandExchange(QByteArrayLiteral("T"), endsWithTestPrompt, seconds);
}

bool TextCommandExchange::endsWithTestPrompt(const QByteArray &reply)
{
    return reply.endsWith("TEST:");
}

ExchangeStep TextCommandExchange::start(double now)
{
    m_start = now;
    // Bytes that came before the command may already complete its reply.
    ExchangeStep step = m_complete(m_reply) ? completed() : ExchangeStep::needMore(now + m_seconds);
    step.send = {m_command};
    return step;
}

ExchangeStep TextCommandExchange::feed(const QByteArray &bytes, double now)
{
    const double deadline = m_start + m_seconds;
    if (now < deadline || now == m_start)
        m_reply += bytes;
    if (m_complete(m_reply))
        return completed();
    if (now >= deadline)
        return ExchangeStep::failed(ExchangeStep::Failure::TimedOut,
                                    QStringLiteral("no complete reply to \"%1\" within %2 s")
                                        .arg(QString::fromLatin1(m_command))
                                        .arg(m_seconds));
    return ExchangeStep::needMore(deadline);
}
