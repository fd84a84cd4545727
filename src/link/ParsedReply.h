// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

#include <optional>
#include <utility>

// What a reply parser makes of one reply: the value read from it, or why the reply gives
// none. Parsers are pure: the same reply always gives the same result.
template <typename Value> struct ParsedReply
{
    std::optional<Value> value;
    // Why the reply gives no value; empty when it gives one.
    QString failure;

    bool ok() const { return value.has_value(); }

    static ParsedReply read(Value readValue) { return {std::move(readValue), QString()}; }
    static ParsedReply refused(const QString &why) { return {std::nullopt, why}; }
};
