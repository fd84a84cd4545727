// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/SerialPort.h"
#include "platform/VirtualClock.h"

#include <QList>
#include <QObject>

#include <deque>
#include <functional>
#include <map>
#include <memory>

// One cable between the computer and whatever sits at its far end, on virtual time.
// The far end (a simulated instrument or a test) learns what the computer wrote through
// onWrite and answers with deliver(); bytes arrive at the computer at their due time.
class FakeLine
{
public:
    explicit FakeLine(VirtualClock &clock) : m_clock(clock) {}

    // Bytes from the far end, arriving delaySeconds from now; a chunk never overtakes
    // one delivered before it.
    void deliver(const QByteArray &bytes, double delaySeconds = 0);
    // Everything the computer has written, in order.
    const QByteArray &written() const { return m_written; }
    void clearWritten() { m_written.clear(); }
    // The writes one by one, as the computer made them.
    const QList<QByteArray> &writes() const { return m_writes; }

    // Called with each write of the computer.
    std::function<void(const QByteArray &)> onWrite;
    // Error number open() fails with on this line (0: it opens).
    int openError = 0;
    // What open() then says (empty: a text of the fake's own).
    QString openErrorText;
    bool dtr = false;
    bool rts = false;
    int openCount = 0;
    // An unplugged cable: the port cannot be opened or used any more.
    bool unplugged = false;

    // Used by FakeSerialPort.
    void computerWrote(const QByteArray &bytes);
    int bytesArrived() const;
    QByteArray take(int maxBytes);
    // Monotonic time of the next chunk not yet arrived, or a negative value.
    double nextArrival() const;
    void discardAll() { m_incoming.clear(); }

private:
    struct Chunk
    {
        double due;
        QByteArray bytes;
    };
    VirtualClock &m_clock;
    std::deque<Chunk> m_incoming;
    QByteArray m_written;
    QList<QByteArray> m_writes;
};

// A serial port for tests: port numbers map to FakeLines on the shared virtual clock;
// bytes arrive when the clock reaches their time.
class FakeSerialPort : public SerialPort
{
public:
    explicit FakeSerialPort(VirtualClock &clock) : m_clock(clock) {}

    // Puts a cable on port number n and returns it.
    FakeLine &addLine(int number);
    FakeLine *line(int number);
    // Makes the open port vanish, as an unplugged USB adapter does: the next call on
    // the port finds it closed, and the event loop tells the owner, as the real port does.
    void unplug();
    // Puts the cable of port `number` back.
    void replug(int number);

    bool setPortNumber(int number) override;
    int portNumber() const override { return m_portNumber; }
    bool open() override;
    void close() override;
    bool isOpen() const override { return m_isOpen; }
    void setDtr(bool on) override;
    bool dtr() const override { return m_dtr; }
    void setRts(bool on) override;
    int bytesWaiting() override;
    QByteArray read(int maxBytes = 0) override;
    bool write(const QByteArray &bytes) override;
    // What the event loop does when bytes come: tells the owner when bytes have arrived on
    // the open port by now. True when it told.
    bool announceArrivals();
    // Monotonic time of the next bytes still on their way to the open port, or a negative
    // value.
    double nextArrival();
    int errorNumber() const override { return m_error; }
    QString errorDescription() const override { return m_errorText; }
    void clearError() override;

    // The highest port number that can be chosen at all.
    int maxPortNumber = 255;
    // Counts of calls, for tests that check the port was left alone.
    int openAttempts = 0;
    // Looks at the line: calls of bytesWaiting.
    int looks = 0;

private:
    void fail(int number, const QString &text);
    FakeLine *openCable();

    VirtualClock &m_clock;
    // Cancels the loss notices still queued when the port goes.
    QObject m_noticeContext;
    std::map<int, std::unique_ptr<FakeLine>> m_lines;
    int m_portNumber = 1;
    bool m_isOpen = false;
    bool m_dtr = false;
    int m_error = NoError;
    QString m_errorText;
};
