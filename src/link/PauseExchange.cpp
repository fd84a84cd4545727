// SPDX-License-Identifier: GPL-3.0-or-later
#include "link/PauseExchange.h"

ExchangeStep PauseExchange::start(double now)
{
    m_end = now + m_seconds;
    return ExchangeStep::needMore(m_end);
}

ExchangeStep PauseExchange::feed(const QByteArray &bytes, double now)
{
    m_came += bytes;
    if (now < m_end)
        return ExchangeStep::needMore(m_end);
    return ExchangeStep::done(m_came);
}
