#include "logger/LoggerPackets.h"

#include "logger/LoggerBlock.h"

#include "link/Frame.h"
#include "link/SensorLink.h"

LoggerPackets::LoggerPackets(SensorLink &link) : m_link(link), m_blockBuffer(BlockBufferSize, '\0')
{}

void LoggerPackets::pause()
{
    if (m_packetDelayMs > 0)
        m_link.DelayMs(static_cast<float>(m_packetDelayMs));
}

std::optional<QByteArray> LoggerPackets::exchange(quint8 command, quint16 address,
                                                  const QByteArray &data, int replyLength)
{
    pause();
    quint8 replyCommand = command;
    quint32 replyAddress = address;
    auto length = static_cast<quint8>(data.size());
    QByteArray buffer = data;
    buffer.resize(Frame::MaxDataLength);
    if (!m_link.SendPacket2(replyCommand, replyAddress, length, buffer))
        return std::nullopt;
    if (replyCommand != command || length < replyLength)
        return std::nullopt;
    return buffer.left(length);
}

std::optional<QByteArray> LoggerPackets::blockStart(qint64 block, int count)
{
    QByteArray request;
    request.append(static_cast<char>(count));
    request.append('\0');
    return exchange(BlockStart, static_cast<quint16>(block), request, count);
}

bool LoggerPackets::DownloadBlock(qint64 block)
{
    pause();
    quint8 command = LargeDataBlock;
    const auto address = static_cast<quint16>(block);
    quint32 replyAddress = address;
    quint8 length = 2;
    QByteArray data;
    Frame::appendLe16(data, LoggerBlock::Size);
    data.resize(Frame::MaxDataLength);
    if (!m_link.SendPacket2(command, replyAddress, length, data))
        return false;
    // A reply for another command announces no block.
    if (command != LargeDataBlock)
        return false;
    m_blockBuffer.fill('\0', BlockBufferSize);
    const bool received = m_link.GetDataBlock(LoggerBlock::Size, m_blockBuffer);
    // An acknowledgement for another block, or a malformed one, is still followed by a
    // block: it has been read so that it cannot spoil the next exchange, and is dropped.
    if (replyAddress != address || length < 2) {
        m_blockBuffer.fill('\0', BlockBufferSize);
        return false;
    }
    return received;
}
