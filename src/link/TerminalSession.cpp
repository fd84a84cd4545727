// SPDX-License-Identifier: GPL-3.0-or-later
#include "link/TerminalSession.h"

#include <utility>

ExchangeStep TerminalSession::feed(const QByteArray &bytes, double now)
{
    if (!bytes.isEmpty() && m_onReceived)
        m_onReceived(bytes);
    return next(now);
}

ExchangeStep TerminalSession::next(double now)
{
    ExchangeStep step = m_closed ? ExchangeStep::done() : ExchangeStep::needMore(now + WakeSeconds);
    if (!m_outgoing.isEmpty())
        step.send = {std::exchange(m_outgoing, {})};
    return step;
}
