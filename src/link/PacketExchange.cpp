// SPDX-License-Identifier: GPL-3.0-or-later
#include "link/PacketExchange.h"

#include "link/Frame.h"

PacketExchange::PacketExchange(quint8 command, quint32 address, quint8 n, const QByteArray &data,
                               Timing timing)
    : m_request(requestWrites(command, address, n, data)), m_timing(timing)
{}

QList<QByteArray> PacketExchange::requestWrites(quint8 command, quint32 address, quint8 n,
                                                const QByteArray &data)
{
    // The instrument expects the request one byte per write.
    QList<QByteArray> writes;
    for (const char byte : Frame::build(command, static_cast<quint16>(address & 0xFFFFu), n, data))
        writes.append(QByteArray(1, byte));
    return writes;
}

double PacketExchange::deadline() const
{
    if (m_reply.gatheringHeader())
        return m_start + PartSeconds;
    return m_timing == Timing::WholeWithinTwoSeconds ? m_start + WholeSeconds
                                                     : m_headerAt + PartSeconds;
}

ExchangeStep PacketExchange::start(double now)
{
    m_start = now;
    ExchangeStep step = ExchangeStep::needMore(deadline(), m_reply.missing());
    step.send = m_request;
    return step;
}

ExchangeStep PacketExchange::feed(const QByteArray &bytes, double now)
{
    using Status = FrameAssembler::Status;
    using Failure = ExchangeStep::Failure;
    if (now >= deadline())
        return ExchangeStep::failed(Failure::TimedOut, m_reply.reason(), bytes);
    const bool onHeader = m_reply.gatheringHeader();
    QByteArray after = m_reply.feedUpToEnd(bytes);
    if (onHeader && !m_reply.gatheringHeader())
        m_headerAt = now;
    switch (m_reply.status()) {
    case Status::Frame:
        return ExchangeStep::done(after);
    case Status::Invalid:
        return ExchangeStep::failed(m_reply.bytes().at(0) == Frame::StartByte ? Failure::BadCheck
                                                                              : Failure::Refused,
                                    m_reply.reason(), after);
    case Status::NeedMore:
        break;
    }
    return ExchangeStep::needMore(deadline(), m_reply.missing());
}
