// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "link/Lifetime.h"

#include "link/ParsedReply.h"

#include <QByteArray>
#include <QtGlobal>

#include <functional>

class SensorLink;

// The logger's commands over the link's packet exchange. The queued ones run each after a
// short pause (PacketDelay) that gives the instrument time between packets. A reply counts
// only when it is for the command sent and carries at least the bytes the caller reads, so
// a stale or foreign frame is never decoded as the answer.
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

    // What the queued requests hear: the reply's data (a block's 512 bytes), or why there
    // is none: the exchange failed, the reply is for another command, or it has fewer than
    // `replyLength` data bytes. The reason also becomes the link's status text and goes
    // into its trace. Never called inside the request itself.
    using Done = std::function<void(const ParsedReply<QByteArray> &reply)>;

    // Sends `command`, queued on the link after the packet pause, and hears its reply.
    void requestExchange(quint8 command, quint16 address, const QByteArray &data, int replyLength,
                         Done done);

    // A question that changes nothing in the logger (its memory size, clock, program,
    // status, a block's start) is asked this many times at most before it counts as
    // failed: asking again is harmless, and on a line that spoils one reply in five a
    // read of the seven the details take would otherwise seldom come whole.
    static constexpr int ReadAttempts = 3;
    // requestExchange(), asked again while it fails.
    void requestRead(quint8 command, quint16 address, const QByteArray &data, int replyLength,
                     Done done);

    // The first `count` bytes of memory block `block` (command 18), read as requestRead().
    void requestBlockStart(qint64 block, int count, Done done);

    // Memory block `block` after the packet pause: the large-data-block request, whose
    // acknowledgement must name the same command and block, then the 512 bytes and their
    // CRC. Asked again while it fails, ReadAttempts times at most.
    void requestBlock(qint64 block, Done done);

    // A reply whose data could not be used: the reason, as requestExchange() gives it, also on
    // the link's status text and trace.
    ParsedReply<QByteArray> refuse(quint8 command, const QString &why);

private:
    // The reply frame to `command`, judged: its data, or why it cannot be used.
    ParsedReply<QByteArray> judge(quint8 command, bool framed, const QString &failure,
                                  quint8 replyCommand, const QByteArray &data, int replyLength);
    // Runs `send` after the packet pause (at once without one).
    void afterPause(std::function<void()> send);
    void requestBlockAttempt(qint64 block, int attemptsLeft, Done done);
    void requestReadAttempt(quint8 command, quint16 address, const QByteArray &data,
                            int replyLength, int attemptsLeft, Done done);

    SensorLink &m_link;
    int m_packetDelayMs = 0;
    Lifetime m_lifetime;
};
