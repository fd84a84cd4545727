// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "link/Exchange.h"
#include "link/FrameAssembler.h"

// A framed request, sent one byte per write, and its reply frame. Two timings:
// WholeWithinTwoSeconds: the reply's header within 1 s of the request and all of it
// within 2 s; EachPartWithinASecond: the header within 1 s of the request and the rest
// within 1 s of the header. Bytes that come when the part's time is up are late. A reply
// whose CRC does not check is a bad check; one with another start byte is refused. Bytes
// after the frame go back as surplus.
class PacketExchange : public Exchange
{
public:
    enum class Timing { WholeWithinTwoSeconds, EachPartWithinASecond };
    static constexpr double PartSeconds = 1.0;
    static constexpr double WholeSeconds = 2.0;

    PacketExchange(quint8 command, quint32 address, quint8 n, const QByteArray &data,
                   Timing timing);

    // The request, one byte per element.
    static QList<QByteArray> requestWrites(quint8 command, quint32 address, quint8 n,
                                           const QByteArray &data);

    ExchangeStep start(double now) override;
    ExchangeStep feed(const QByteArray &bytes, double now) override;

    // The reply frame (done), or what came of it.
    const QByteArray &frame() const { return m_reply.bytes(); }

private:
    double deadline() const;

    QList<QByteArray> m_request;
    Timing m_timing;
    double m_start = 0;
    double m_headerAt = 0;
    FrameAssembler m_reply{FrameAssembler::Layout::Packet};
};
