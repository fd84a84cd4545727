// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "link/StatusReplies.h"
#include "link/TextCommandExchange.h"

// "I" and its five lines. The reply is complete when an echoed "I" is followed by five
// lines of a status's shape: a version line that is not blank, and no line of noise. So
// noise before the reply, even noise holding an "I" and a CR, neither ends it early nor
// shifts its lines.
class StatusExchange : public TextCommandExchange
{
public:
    StatusExchange();

    // Where the echo stands: the first "I" followed by five lines of that shape; -1 while
    // there is none.
    static qsizetype echoAt(const QByteArray &reply);
    // The reply from its echo to the end of its fifth line; the whole reply while it is
    // not complete.
    QByteArray statusReply() const;
    // The five lines (complete replies only; refused otherwise).
    ParsedReply<StatusLines> status() const;
};
