// SPDX-License-Identifier: GPL-3.0-or-later
#include "link/ReadingsExchange.h"

ReadingsExchange::ReadingsExchange()
    : TextCommandExchange(QByteArrayLiteral("S"), [](const QByteArray &reply) {
          return reply.endsWith('\r') && reply.contains('S');
      })
{}

ExchangeStep ReadingsExchange::completed()
{
    const ParsedReply<PlainReadings> parsed = readings();
    if (parsed.ok())
        return ExchangeStep::done();
    return ExchangeStep::failed(ExchangeStep::Failure::Refused, parsed.failure);
}
