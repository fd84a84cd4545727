// SPDX-License-Identifier: GPL-3.0-or-later
#include "link/FrameAssembler.h"

#include "link/Crc.h"

#include <algorithm>

FrameAssembler::Status FrameAssembler::feed(const QByteArray &bytes)
{
    if (m_status != Status::NeedMore)
        return m_status;
    const auto room = Capacity - m_bytes.size();
    m_bytes += bytes.left(std::max<qsizetype>(0, room));

    if (gatheringHeader())
        return m_status;
    if (m_layout == Layout::Packet && m_bytes.at(0) != Frame::StartByte)
        m_status = Status::Invalid;
    else if (m_bytes.size() >= frameSize())
        m_status = CalcCrc(m_bytes) == 0 ? Status::Frame : Status::Invalid;
    return m_status;
}

QByteArray FrameAssembler::feedUpToEnd(const QByteArray &bytes)
{
    qsizetype used = 0;
    while (used < bytes.size() && m_status == Status::NeedMore) {
        // At least one byte a round: a frame too long to be kept takes all that come.
        const qsizetype take = std::max(1, missing());
        feed(bytes.mid(used, take));
        used += take;
    }
    return bytes.mid(used);
}

int FrameAssembler::missing() const
{
    const int end = gatheringHeader() ? Frame::HeaderSize : frameSize();
    return end - static_cast<int>(m_bytes.size());
}

bool FrameAssembler::gatheringHeader() const
{
    return m_layout == Layout::Packet && m_bytes.size() < Frame::HeaderSize;
}

int FrameAssembler::frameSize() const
{
    if (m_layout == Layout::Acknowledgement)
        return AcknowledgementSize;
    if (gatheringHeader())
        return 0;
    return Frame::byteAt(m_bytes, 4) + Frame::Overhead;
}

int FrameAssembler::partSize() const
{
    if (gatheringHeader())
        return Frame::HeaderSize;
    return m_layout == Layout::Packet ? frameSize() - Frame::HeaderSize : AcknowledgementSize;
}

QString FrameAssembler::reason() const
{
    switch (m_status) {
    case Status::Frame:
        return {};
    case Status::Invalid:
        if (m_layout == Layout::Packet && m_bytes.at(0) != Frame::StartByte)
            return QStringLiteral("start byte %1, not 0F")
                .arg(QString::number(Frame::byteAt(m_bytes, 0), 16).toUpper(), 2, QLatin1Char('0'));
        return QStringLiteral("CRC check failed");
    case Status::NeedMore:
        break;
    }
    if (gatheringHeader())
        return QStringLiteral("header: %1 of %2 bytes").arg(m_bytes.size()).arg(Frame::HeaderSize);
    return QStringLiteral("frame: %1 of %2 bytes").arg(m_bytes.size()).arg(frameSize());
}
