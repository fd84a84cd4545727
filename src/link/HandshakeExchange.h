// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "link/Exchange.h"

// The "R" handshake: the line settles for 50 ms (whatever comes meanwhile answers nothing
// and is dropped), then "R" goes out and the prompt byte 0xAF must end the latest chunk
// that arrives within 1 s of it (each chunk replaces the one before); then the line
// settles for 50 ms again. Bytes of that last pause go back as surplus.
class HandshakeExchange : public Exchange
{
public:
    static constexpr char PromptByte = static_cast<char>(0xAF);
    static constexpr double SettleSeconds = 0.05;
    static constexpr double PromptSeconds = 1.0;

    ExchangeStep start(double now) override;
    ExchangeStep feed(const QByteArray &bytes, double now) override;

private:
    enum class Phase { SettlingBefore, AwaitingPrompt, SettlingAfter };

    ExchangeStep settleAfter(double now);

    Phase m_phase = Phase::SettlingBefore;
    // When the phase ends: the first pause, the prompt's time limit, the last pause.
    double m_phaseEnd = 0;
    bool m_promptSeen = false;
    QByteArray m_afterPrompt;
};
