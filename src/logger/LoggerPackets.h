// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "link/ParsedReply.h"

#include <QByteArray>
#include <QtGlobal>

class SensorLink;

// The logger's commands over the link's packet exchange, each after a short pause
// (PacketDelay) that gives the instrument time between packets. A reply counts only when
// it is for the command sent and carries at least the bytes the caller reads, so a stale
// or foreign frame is never decoded as the answer.
class LoggerPackets
{
public:
    // Command codes of the logger.
    enum Command : quint8 {
        Program = 10,
        StartStop = 11,
        Clock = 12,
        SetClock = 13,
        LoggingStatus = 14,
        MemorySize = 15,
        BlockStart = 18,
        SetDownloadPointer = 21,
        LargeDataBlock = 22,
    };

    // One 512-byte block, its 2 CRC bytes and the spare place the block read needs.
    static constexpr int BlockBufferSize = 521;

    explicit LoggerPackets(SensorLink &link);

    int PacketDelay() const { return m_packetDelayMs; }
    void setPacketDelay(int ms) { m_packetDelayMs = ms; }

    // Sends `command` and returns the reply's data, or why there is none: the exchange
    // failed, the reply is for another command, or it has fewer than `replyLength` data
    // bytes. The reason also becomes the link's status text and goes into its trace.
    ParsedReply<QByteArray> exchange(quint8 command, quint16 address, const QByteArray &data,
                                     int replyLength);

    // A question that changes nothing in the logger (its memory size, clock, program,
    // status, a block's start) is asked this many times at most before it counts as
    // failed: asking again is harmless, and on a line that spoils one reply in five a
    // read of the seven the details take would otherwise seldom come whole.
    static constexpr int ReadAttempts = 3;
    // exchange(), asked again while it fails.
    ParsedReply<QByteArray> read(quint8 command, quint16 address, const QByteArray &data,
                                 int replyLength);

    // The first `count` bytes of memory block `block` (command 18).
    ParsedReply<QByteArray> blockStart(qint64 block, int count);

    // A reply whose data could not be used: the reason, as exchange() gives it, also on
    // the link's status text and trace.
    ParsedReply<QByteArray> refuse(quint8 command, const QString &why);

    // Fetches memory block `block` into BlockBuffer(): the large-data-block request, whose
    // acknowledgement must name the same command and block and carry its two data bytes,
    // then the 512 bytes and their CRC. True when both arrived intact.
    bool DownloadBlock(qint64 block);
    // DownloadBlock(), asked again while it fails.
    bool readBlock(qint64 block);

    const QByteArray &BlockBuffer() const { return m_blockBuffer; }
    QByteArray &BlockBuffer() { return m_blockBuffer; }

private:
    void pause();

    SensorLink &m_link;
    int m_packetDelayMs = 0;
    QByteArray m_blockBuffer;
};
