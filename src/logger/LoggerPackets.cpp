// SPDX-License-Identifier: GPL-3.0-or-later
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

ParsedReply<QByteArray> LoggerPackets::refuse(quint8 command, const QString &why)
{
    const QString text = QStringLiteral("Command %1: %2").arg(command).arg(why);
    m_link.noteFailedReply(text);
    return ParsedReply<QByteArray>::refused(text);
}

ParsedReply<QByteArray> LoggerPackets::exchange(quint8 command, quint16 address,
                                                const QByteArray &data, int replyLength)
{
    pause();
    quint8 replyCommand = command;
    quint32 replyAddress = address;
    auto length = static_cast<quint8>(data.size());
    QByteArray buffer = data;
    buffer.resize(Frame::MaxDataLength);
    if (!m_link.SendPacket2(replyCommand, replyAddress, length, buffer))
        return refuse(command, QStringLiteral("no reply frame (") + m_link.lastPacketFailure() +
                                   QStringLiteral(")"));
    if (replyCommand != command)
        return refuse(command, QStringLiteral("the reply is for command %1").arg(replyCommand));
    if (length < replyLength)
        return refuse(
            command,
            QStringLiteral("the reply has %1 of %2 data bytes").arg(length).arg(replyLength));
    return ParsedReply<QByteArray>::read(buffer.left(length));
}

ParsedReply<QByteArray> LoggerPackets::read(quint8 command, quint16 address, const QByteArray &data,
                                            int replyLength)
{
    ParsedReply<QByteArray> reply;
    for (int attempt = 0; attempt < ReadAttempts && !reply.ok(); ++attempt)
        reply = exchange(command, address, data, replyLength);
    return reply;
}

ParsedReply<QByteArray> LoggerPackets::blockStart(qint64 block, int count)
{
    QByteArray request;
    request.append(static_cast<char>(count));
    request.append('\0');
    return read(BlockStart, static_cast<quint16>(block), request, count);
}

bool LoggerPackets::readBlock(qint64 block)
{
    for (int attempt = 0; attempt < ReadAttempts; ++attempt) {
        if (DownloadBlock(block))
            return true;
    }
    return false;
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
