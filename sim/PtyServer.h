// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "Instrument.h"
#include "LinePacer.h"

#include "platform/SystemClock.h"

#include <QByteArray>
#include <QObject>
#include <QString>

#include <deque>
#include <memory>

class QSocketNotifier;
class QTimer;

struct PtyServerOptions
{
    PtyServerOptions(SimModel model = SimModel::ZQ5) : instrument(model) {}

    InstrumentOptions instrument;
    // Moves bytes at the pace of a 9600-baud line in both directions.
    bool pace = false;
};

// A simulated instrument on a pseudo-terminal: programs open the slave device as they
// would open a serial port. The server answers on real time (the system clock) from
// the event loop of the thread it lives in, so it runs as well in a thread of its own
// as in the main thread: create it in that thread (or move it there) and call start()
// from there; destroy it there too.
class PtyServer : public QObject
{
    Q_OBJECT

public:
    explicit PtyServer(const PtyServerOptions &options = {}, QObject *parent = nullptr);
    ~PtyServer() override;

    // Opens the pseudo-terminal and starts answering. Returns the slave device's path,
    // already in raw mode and safe to open, or an empty text when it fails
    // (errorString() tells why).
    QString start();
    void stop();
    bool isRunning() const { return m_master >= 0; }
    QString devicePath() const { return m_path; }
    QString errorString() const { return m_error; }

    // May be called from any thread; takes effect in the server's thread.
    void setFaults(const SimFaults &faults);

signals:
    // The pseudo-terminal failed while running; the server has stopped.
    void failed(const QString &reason);

private:
    struct Outgoing
    {
        double start; // when its first byte may leave
        QByteArray bytes;
        int sent = 0;
    };

    QString fail(const QString &reason);
    void readFromComputer();
    void sendDueBytes();
    void armTimer();
    void queueForWriting(const QByteArray &bytes);
    void flushOutput();
    void stopWithError(const QString &reason);

    SystemClock m_clock;
    Instrument m_instrument;
    LinePacer m_pacer;
    int m_master = -1;
    int m_slave = -1;
    QString m_path;
    QString m_error;
    QSocketNotifier *m_readNotifier = nullptr;
    QSocketNotifier *m_writeNotifier = nullptr;
    QTimer *m_timer = nullptr;
    std::deque<Outgoing> m_queue;
    QByteArray m_unwritten;
};
