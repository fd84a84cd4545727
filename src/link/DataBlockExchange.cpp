// SPDX-License-Identifier: GPL-3.0-or-later
#include "link/DataBlockExchange.h"

#include "link/Crc.h"
#include "link/Frame.h"
#include "link/PacketExchange.h"

DataBlockExchange::DataBlockExchange(quint32 address, int length, Plan plan)
    : m_address(address), m_length(length), m_plan(plan), m_stage(plan.first)
{}

QList<QByteArray> DataBlockExchange::requestWrites(quint32 address, int length)
{
    QByteArray data;
    Frame::appendLe16(data, static_cast<quint16>(length & 0xFFFF));
    return PacketExchange::requestWrites(Command, address, 2, data);
}

ExchangeStep DataBlockExchange::start(double now)
{
    if (m_stage == Stage::Block)
        return beginBlock(now);
    m_deadline = now + AcknowledgementSeconds;
    ExchangeStep step = ExchangeStep::needMore(m_deadline, m_acknowledgement.missing());
    if (m_stage == Stage::Request)
        step.send = requestWrites(m_address, m_length);
    m_stage = Stage::Acknowledgement;
    return step;
}

ExchangeStep DataBlockExchange::feed(const QByteArray &bytes, double now)
{
    if (now >= m_deadline)
        return ExchangeStep::failed(
            ExchangeStep::Failure::TimedOut,
            m_stage == Stage::Block
                ? QStringLiteral("data block: %1 of %2 bytes").arg(m_block.size()).arg(blockSize())
                : QStringLiteral("acknowledgement: ") + m_acknowledgement.reason(),
            bytes);
    return m_stage == Stage::Block ? feedBlock(bytes) : feedAcknowledgement(bytes, now);
}

ExchangeStep DataBlockExchange::feedAcknowledgement(const QByteArray &bytes, double now)
{
    using Failure = ExchangeStep::Failure;
    const QByteArray after = m_acknowledgement.feedUpToEnd(bytes);
    switch (m_acknowledgement.status()) {
    case FrameAssembler::Status::NeedMore:
        return ExchangeStep::needMore(m_deadline, m_acknowledgement.missing());
    case FrameAssembler::Status::Invalid:
        return ExchangeStep::failed(
            Failure::BadCheck, QStringLiteral("acknowledgement: ") + m_acknowledgement.reason(),
            after);
    case FrameAssembler::Status::Frame:
        break;
    }
    const QByteArray &ack = m_acknowledgement.bytes();
    if (Frame::byteAt(ack, 1) != Command || Frame::readLe16(ack, 2) != (m_address & 0xFFFFu))
        return ExchangeStep::failed(
            Failure::Refused,
            QStringLiteral("acknowledgement of command %1 for block %2, not of block %3")
                .arg(Frame::byteAt(ack, 1))
                .arg(Frame::readLe16(ack, 2))
                .arg(m_address & 0xFFFFu),
            after);
    if (m_plan.last == Stage::Acknowledgement)
        return ExchangeStep::done(after);
    QList<QByteArray> nextRequest;
    if (m_plan.nextAddress) {
        nextRequest = requestWrites(*m_plan.nextAddress, m_length);
        m_askedAhead = true;
    }
    beginBlock(now);
    ExchangeStep step =
        after.isEmpty() ? ExchangeStep::needMore(m_deadline, blockSize()) : feedBlock(after);
    step.send = nextRequest + step.send;
    return step;
}

ExchangeStep DataBlockExchange::beginBlock(double now)
{
    m_stage = Stage::Block;
    m_deadline = now + BlockSeconds;
    return ExchangeStep::needMore(m_deadline, blockSize());
}

ExchangeStep DataBlockExchange::feedBlock(const QByteArray &bytes)
{
    if (bytes.isEmpty())
        return ExchangeStep::needMore(m_deadline, blockSize() - static_cast<int>(m_block.size()));
    const auto take = blockSize() - m_block.size();
    m_block += bytes.left(take);
    // Each chunk of the block moves its window on.
    m_deadline += BlockExtensionSeconds;
    if (m_block.size() < blockSize())
        return ExchangeStep::needMore(m_deadline, blockSize() - static_cast<int>(m_block.size()));
    if (CalcCrc(m_block) != 0)
        return ExchangeStep::failed(ExchangeStep::Failure::BadCheck,
                                    QStringLiteral("data block CRC check failed"), bytes.mid(take));
    return ExchangeStep::done(bytes.mid(take));
}
