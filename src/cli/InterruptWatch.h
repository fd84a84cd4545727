// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>

class QSocketNotifier;

// SIGINT and SIGTERM brought into the event loop: the handler only writes a byte to a
// pipe, and a notifier on the pipe's other end notes the interruption, so that a command
// stops where it is safe to (after a whole line, with its files closed). One watch at a
// time.
class InterruptWatch : public QObject
{
    Q_OBJECT

public:
    InterruptWatch();
    ~InterruptWatch() override;

    bool interrupted() const { return m_interrupted; }
    // Notes an interruption as the signals do (for a caller that stops a command itself).
    void interrupt();

    // Lets events run for `seconds`; false when an interruption came first (or before).
    bool sleep(double seconds);

signals:
    void interruptedNow();

private:
    void readPipe();

    QSocketNotifier *m_notifier = nullptr;
    bool m_interrupted = false;
};
