// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "link/TextCommandExchange.h"

#include <optional>

// A change of the reading units: test mode entered with "T" (its "TEST:" within 1 s),
// then "U" and the code's digit, answered with "U", the digit, "OK", CR and "TEST:" within
// 1 s (bytes before that answer are noise and pass). On failure "R" goes out with the
// failed step, to take the instrument out of test mode.
class UnitsExchange : public Exchange
{
public:
    explicit UnitsExchange(int unitsCode);

    ExchangeStep start(double now) override;
    ExchangeStep feed(const QByteArray &bytes, double now) override;

    // What the instrument answers when it took the code.
    const QByteArray &expectedAnswer() const { return m_expected; }

private:
    ExchangeStep failedLeavingTestMode(const QString &reason) const;

    QByteArray m_command;
    QByteArray m_expected;
    TextCommandExchange m_entry;
    std::optional<TextCommandExchange> m_units;
};
