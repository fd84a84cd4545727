// SPDX-License-Identifier: GPL-3.0-or-later
#include "link/UnitsExchange.h"

UnitsExchange::UnitsExchange(int unitsCode)
    : m_command(QByteArrayLiteral("U") + static_cast<char>('0' + unitsCode)),
      m_expected(m_command + QByteArrayLiteral("OK\rTEST:")),
      m_entry(TextCommandExchange::testModeEntry())
{}

ExchangeStep UnitsExchange::start(double now)
{
    return m_entry.start(now);
}

ExchangeStep UnitsExchange::failedLeavingTestMode(const QString &reason) const
{
    ExchangeStep step = ExchangeStep::failed(ExchangeStep::Failure::TimedOut, reason);
    step.send = {QByteArrayLiteral("R")};
    return step;
}

ExchangeStep UnitsExchange::feed(const QByteArray &bytes, double now)
{
    if (m_units) {
        const ExchangeStep step = m_units->feed(bytes, now);
        if (step.state == ExchangeStep::State::Failed)
            return failedLeavingTestMode(QStringLiteral("SetUnits command failed"));
        return step;
    }
    const ExchangeStep entered = m_entry.feed(bytes, now);
    if (entered.state == ExchangeStep::State::NeedMore)
        return entered;
    if (entered.state == ExchangeStep::State::Failed)
        return failedLeavingTestMode(QStringLiteral("TEST: prompt missing"));
    m_units.emplace(m_command, [expected = m_expected](const QByteArray &reply) {
        return reply.contains(expected);
    });
    return m_units->start(now);
}
