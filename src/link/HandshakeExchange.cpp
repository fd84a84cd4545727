// SPDX-License-Identifier: GPL-3.0-or-later
#include "link/HandshakeExchange.h"

ExchangeStep HandshakeExchange::start(double now)
{
    m_phase = Phase::SettlingBefore;
    m_phaseEnd = now + SettleSeconds;
    return ExchangeStep::needMore(m_phaseEnd);
}

ExchangeStep HandshakeExchange::settleAfter(double now)
{
    m_phase = Phase::SettlingAfter;
    m_phaseEnd = now + SettleSeconds;
    return ExchangeStep::needMore(m_phaseEnd);
}

ExchangeStep HandshakeExchange::feed(const QByteArray &bytes, double now)
{
    switch (m_phase) {
    case Phase::SettlingBefore: {
        // Nothing was asked yet: these bytes answer nothing.
        ExchangeStep step = ExchangeStep::needMore(m_phaseEnd);
        step.unaskedBytes = static_cast<int>(bytes.size());
        if (now >= m_phaseEnd) {
            m_phase = Phase::AwaitingPrompt;
            m_phaseEnd = now + PromptSeconds;
            step.deadline = m_phaseEnd;
            step.send = {QByteArrayLiteral("R")};
        }
        return step;
    }
    case Phase::AwaitingPrompt:
        if (now >= m_phaseEnd) {
            m_afterPrompt = bytes;
            return settleAfter(now);
        }
        // Only the latest chunk counts: the prompt must end it.
        if (!bytes.isEmpty() && bytes.back() == PromptByte) {
            m_promptSeen = true;
            return settleAfter(now);
        }
        return ExchangeStep::needMore(m_phaseEnd);
    case Phase::SettlingAfter:
        m_afterPrompt += bytes;
        if (now < m_phaseEnd)
            return ExchangeStep::needMore(m_phaseEnd);
        break;
    }
    if (m_promptSeen)
        return ExchangeStep::done(m_afterPrompt);
    return ExchangeStep::failed(ExchangeStep::Failure::TimedOut,
                                QStringLiteral("no prompt byte AF within 1 s of \"R\""),
                                m_afterPrompt);
}
