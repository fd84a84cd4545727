// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QList>
#include <QtGlobal>

#include <map>

// A piece of a reply and when it reaches the computer, in seconds from now.
struct SimReply
{
    double delay;
    QByteArray bytes;
};

// When a countable fault strikes: on every `every`-th event (1: each one), or only on
// the first of those when `once` is set, and then on the `length` - 1 events after it (a
// line down for a while). every = 0 switches it off.
struct FaultSchedule
{
    int every = 0;
    bool once = false;
    int length = 1;

    static FaultSchedule everyNth(int n) { return {n, false}; }
    static FaultSchedule onceAt(int n, int length = 1) { return {n, true, length}; }
};

// Counts the events a fault may strike and tells when it does.
class FaultCounter
{
public:
    bool strikes(const FaultSchedule &schedule)
    {
        if (schedule.every <= 0)
            return false;
        ++m_events;
        if (schedule.once && m_struck)
            return m_events < m_firstStrike + schedule.length;
        if (m_events % schedule.every != 0)
            return false;
        m_struck = true;
        m_firstStrike = m_events;
        return true;
    }
    void reset() { *this = FaultCounter(); }

private:
    long long m_events = 0;
    long long m_firstStrike = 0;
    bool m_struck = false;
};

// How a logger reply frame can be spoilt on its way to the computer.
enum class SpoiltFrame {
    None,
    Silent,         // no reply at all; a data-block request gets no block either
    LengthTooShort, // the length byte one less than the data sent
    LengthTooLong,  // the length byte three more than the data sent
    Length255,      // the length byte 255
    BadCrc,         // the last CRC byte changed
    OtherCommand,   // a good frame for the next command code (and no block after it)
    ShortReply,     // a good frame with the first data byte only
    OtherAddress,   // the logger's good answer for the next address (block included)
    TruncatedBlock, // a data-block request: the acknowledgement, then 300 bytes of the block
    NoiseFirst,     // noise bytes before the good frame
};

// Faults the simulated instrument can be told to show; they can be changed at any time
// (which starts the counts of the countable ones afresh).
struct SimFaults
{
    bool silent = false; // answers nothing at all
    bool late = false;   // answers lateSeconds later than usual
    double lateSeconds = 1.5;
    bool split = false; // answers in splitChunks pieces spread over splitSeconds
    int splitChunks = 3;
    double splitSeconds = 0.3;
    bool garbage = false;   // sends a few noise bytes before each reply
    bool badPrompt = false; // ends the answer to "R" with a wrong prompt byte

    // Data-block requests (command 22) counted from 1:
    FaultSchedule lostAcknowledgement; // no acknowledgement frame; the block still follows
    FaultSchedule corruptBlock;        // one byte of the block flipped, its CRC left as it was
    FaultSchedule lateBlock;           // the block follows lateBlockSeconds after its time
    double lateBlockSeconds = 1.5;
    // Frames and blocks sent, counted from 1: noise bytes follow the one struck.
    FaultSchedule garbageBetweenFrames;

    // Each logger reply (a frame; for a data-block request its acknowledgement and block)
    // lost, or led by noise bytes, at random with these chances; the same seed strikes
    // the same replies.
    double lostReplyChance = 0;
    double noisyReplyChance = 0;
    quint32 faultSeed = 1;

    // Logger replies spoilt on their way, by command code.
    std::map<quint8, SpoiltFrame> spoiltFrames;
    // Logger replies that carry these data bytes, in a sound frame, instead of what the
    // logger holds (a damaged memory, another firmware), by command code.
    std::map<quint8, QByteArray> replyData;

    SpoiltFrame spoiltFrameFor(quint8 command) const
    {
        const auto found = spoiltFrames.find(command);
        return found == spoiltFrames.end() ? SpoiltFrame::None : found->second;
    }
};

// Decides when the bytes of a reply go out: after the instrument's latency, later when
// the reply is late, in pieces when it is split, behind noise when the line is noisy.
class ReplyScheduler
{
public:
    explicit ReplyScheduler(double latencySeconds = 0.005) : m_latency(latencySeconds) {}

    double latencySeconds() const { return m_latency; }
    void setLatencySeconds(double seconds) { m_latency = seconds > 0 ? seconds : 0; }

    // The pieces of a reply, `extraDelay` seconds later than the latency alone.
    QList<SimReply> schedule(const QByteArray &reply, const SimFaults &faults,
                             double extraDelay = 0) const;

    // The noise sent before a reply: no CR, no prompt byte, nothing that reads as a prompt.
    static QByteArray noise();

private:
    double m_latency;
};
