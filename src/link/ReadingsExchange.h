// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "link/StatusReplies.h"
#include "link/TextCommandExchange.h"

// "S" and its line: complete once the reply holds the echo and ends in CR (a CR in noise
// before the echo does not end it). A complete reply that is no reading is refused.
class ReadingsExchange : public TextCommandExchange
{
public:
    ReadingsExchange();

    ParsedReply<PlainReadings> readings() const { return ParseReadingsReply(reply()); }

protected:
    ExchangeStep completed() override;
};
