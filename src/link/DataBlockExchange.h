// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "link/Exchange.h"
#include "link/FrameAssembler.h"

#include <optional>

// A data block of the built-in logger: the request (command 0x16, the block's address and
// the length n as two bytes), its nine-byte acknowledgement within 1 s (CRC, command 0x16
// and the address must match), then the block: n data bytes and two CRC bytes within a
// 1 s window that each chunk of it moves on by 0.1 s; the CRC over data and CRC must be 0.
//
// A plan says which of these stages the exchange runs: one already requested starts at
// the acknowledgement, and one may stop after it or start at the block. With the next
// block's address the next request goes out as soon as this acknowledgement is in, so that
// the instrument sends the next block right behind this one. Bytes after the last stage
// go back as surplus: they belong to what was asked next.
class DataBlockExchange : public Exchange
{
public:
    static constexpr quint8 Command = 0x16;
    static constexpr double AcknowledgementSeconds = 1.0;
    static constexpr double BlockSeconds = 1.0;
    static constexpr double BlockExtensionSeconds = 0.1;

    enum class Stage { Request, Acknowledgement, Block };
    struct Plan
    {
        Stage first = Stage::Request;
        Stage last = Stage::Block;
        std::optional<quint32> nextAddress;
    };

    DataBlockExchange(quint32 address, int length, Plan plan);
    DataBlockExchange(quint32 address, int length) : DataBlockExchange(address, length, Plan()) {}

    // The request for the block at `address`, one byte per element.
    static QList<QByteArray> requestWrites(quint32 address, int length);

    ExchangeStep start(double now) override;
    ExchangeStep feed(const QByteArray &bytes, double now) override;
    // A block requested ahead: what waits on the line is its acknowledgement.
    bool takesWaitingBytes() const override { return m_plan.first != Stage::Request; }

    const QByteArray &acknowledgement() const { return m_acknowledgement.bytes(); }
    // The next block's request has gone out.
    bool askedAhead() const { return m_askedAhead; }
    // The n data bytes and the CRC (done), or what came of them.
    const QByteArray &block() const { return m_block; }

private:
    ExchangeStep feedAcknowledgement(const QByteArray &bytes, double now);
    ExchangeStep feedBlock(const QByteArray &bytes);
    ExchangeStep beginBlock(double now);
    int blockSize() const { return m_length + 2; }

    quint32 m_address;
    int m_length;
    Plan m_plan;
    Stage m_stage;
    // The end of the acknowledgement's time, or of the block's window.
    double m_deadline = 0;
    FrameAssembler m_acknowledgement{FrameAssembler::Layout::Acknowledgement};
    QByteArray m_block;
    bool m_askedAhead = false;
};
