// SPDX-License-Identifier: GPL-3.0-or-later
#include "link/PauseExchange.h"

ExchangeStep PauseExchange::start(double now)
{
    m_end = now + m_seconds;
    return ExchangeStep::needMore(m_end);
}

ExchangeStep PauseExchange::feed(const QByteArray &bytes, double now)
{
    m_dropped += static_cast<int>(bytes.size());
    if (now < m_end)
        return ExchangeStep::needMore(m_end);
    ExchangeStep step = ExchangeStep::done();
    step.unaskedBytes = m_dropped;
    return step;
}
