// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <utility>

// What an exchange makes of the bytes and the time so far, and what the link must do next.
struct ExchangeStep
{
    enum class State { NeedMore, Done, Failed };
    // Why an exchange failed, for the link's counters.
    enum class Failure {
        None,
        TimedOut,   // the reply did not come whole within its time
        BadCheck,   // a frame or data block whose CRC does not check
        Refused,    // a reply that came whole but cannot be used (wrong echo, wrong shape)
        PortClosed, // the port closed (its device went away) before the reply was in
    };

    State state = State::NeedMore;
    Failure failure = Failure::None;
    // Bytes to write now, in this order, each element one write (the packet requests go
    // out one byte per write, as the instrument expects them). Empty: nothing to write.
    QList<QByteArray> send;
    // NeedMore: the monotonic time (seconds) at which the exchange wants to be fed again
    // even if no byte comes (its time limit, or the end of a pause).
    double deadline = 0;
    // Failed: why, in words for the status bar and the trace.
    QString reason;
    // Bytes fed that the exchange did not take: they came after its reply ended. The link
    // hands them to the next exchange when that one asked for them ahead (a data block
    // requested while the one before was still coming), and drops them otherwise.
    QByteArray surplus;
    // Bytes the exchange dropped in this step because they came before it had asked for
    // anything (while it let the line settle): the link counts them as unasked.
    int unaskedBytes = 0;
    // NeedMore: how many more bytes the reply needs at least before the exchange can move
    // on (0: unknown). A link that lets window events run while it waits may sleep until
    // they can have crossed the line instead of waking on every byte.
    int awaiting = 0;

    bool finished() const { return state != State::NeedMore; }

    static ExchangeStep needMore(double deadline, int awaiting = 0)
    {
        ExchangeStep step;
        step.deadline = deadline;
        step.awaiting = awaiting;
        return step;
    }
    static ExchangeStep done(QByteArray surplus = {})
    {
        ExchangeStep step;
        step.state = State::Done;
        step.surplus = std::move(surplus);
        return step;
    }
    static ExchangeStep failed(Failure failure, const QString &reason, QByteArray surplus = {})
    {
        ExchangeStep step;
        step.state = State::Failed;
        step.failure = failure;
        step.reason = reason;
        step.surplus = std::move(surplus);
        return step;
    }
};

// One exchange with the instrument as a state machine without any I/O: the link writes
// what it is told to write, feeds it every chunk of bytes as it arrives and calls feed
// with no bytes when the deadline passes. The rules of the exchange (its time limits, the
// prompt byte, the line ends it counts) live here alone, so they are tested on byte
// sequences and times without a port.
class Exchange
{
public:
    virtual ~Exchange() = default;

    // Begins the exchange at monotonic time `now`.
    virtual ExchangeStep start(double now) = 0;
    // A chunk of bytes that arrived (empty: only time passed) at monotonic time `now`.
    // Called only while the last step said NeedMore.
    virtual ExchangeStep feed(const QByteArray &bytes, double now) = 0;
    // Whether bytes that wait on the line when the exchange begins are its own (a data
    // block asked for ahead, while the one before it was coming). Otherwise the link drops
    // them as unasked before it starts the exchange.
    virtual bool takesWaitingBytes() const { return false; }
    // Whether the exchange needs the port open: a pause does not (the port search pauses
    // before it opens a port and after it closed one).
    virtual bool needsOpenPort() const { return true; }
};
