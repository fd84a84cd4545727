// SPDX-License-Identifier: GPL-3.0-or-later
#include "link/StatusExchange.h"

#include "link/InstrumentText.h"

namespace {

constexpr int StatusLineCount = 5;

// The end (just past the CR) of the fifth line after `echo`, or -1 when the lines after
// it are fewer or not of a status's shape.
qsizetype fifthLineEnd(const QByteArray &reply, qsizetype echo)
{
    qsizetype from = echo + 1;
    for (int line = 0; line < StatusLineCount; ++line) {
        const qsizetype cr = reply.indexOf('\r', from);
        if (cr < 0)
            return -1;
        const QByteArray text = reply.mid(from, cr - from);
        if (IsLineNoise(text) || (line == 0 && text.trimmed().isEmpty()))
            return -1;
        from = cr + 1;
    }
    return from;
}

} // namespace

StatusExchange::StatusExchange()
    : TextCommandExchange(QByteArrayLiteral("I"),
                          [](const QByteArray &reply) { return echoAt(reply) >= 0; })
{}

qsizetype StatusExchange::echoAt(const QByteArray &reply)
{
    for (qsizetype echo = reply.indexOf('I'); echo >= 0; echo = reply.indexOf('I', echo + 1)) {
        if (fifthLineEnd(reply, echo) >= 0)
            return echo;
    }
    return -1;
}

QByteArray StatusExchange::statusReply() const
{
    const qsizetype echo = echoAt(reply());
    if (echo < 0)
        return reply();
    return reply().mid(echo, fifthLineEnd(reply(), echo) - echo);
}

ParsedReply<StatusLines> StatusExchange::status() const
{
    if (echoAt(reply()) < 0)
        return ParsedReply<StatusLines>::refused(QStringLiteral("no five lines of a status"));
    return ParseStatusReply(statusReply());
}
