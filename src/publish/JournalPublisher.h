// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "publish/BrokerUrl.h"
#include "publish/JournalReader.h"
#include "publish/JournalState.h"

#include <QFile>
#include <QObject>
#include <QTimer>

#include <deque>
#include <memory>
#include <optional>

class MqttClient;

// What the publisher adds to each line and how fast it goes.
struct JournalPublishing
{
    // PC log lines written by this run: its averaging period and the readings each takes.
    // Lines that were in the file before (a continued file) get null, as the file does not
    // say with what periods they were logged.
    std::optional<double> periodSeconds;
    std::optional<int> readingsPerPeriod;
    // Messages sent and not yet acknowledged, at most; this bounds the rate of a backlog
    // to what the broker acknowledges.
    int window = 64;
    // Lines read in one turn of the event loop, at most, so that logging goes on while a
    // backlog drains.
    int linesPerTurn = 256;
    // How often the journal is looked at for new lines, and the state file written.
    int pollMs = 1000;
    int saveMs = 1000;
    // Home Assistant discovery prefix; empty: no discovery.
    QString discoveryPrefix;
};

// Publishes a journal, the file the program writes anyway, line by line: a PC log file on
// <prefix>/<serial>/reading, a dataset file on <prefix>/<serial>/record (ReadingJson). The
// file is the truth: the position of the last line the broker acknowledged is kept in
// FILE.mqtt; after an outage or a restart the lines after it are sent in order, at most
// `window` unacknowledged at a time, before any newer line. Delivery is at least once:
// lines in flight when a connection is lost, or acknowledged after the state file was last
// written before a crash, are sent again.
//
// Several journals may be followed one after the other (a new file each day): the next
// one starts once the one before has been acknowledged to its end.
class JournalPublisher : public QObject
{
    Q_OBJECT

public:
    JournalPublisher(MqttClient &client, BrokerUrl url, JournalPublishing settings,
                     QObject *parent = nullptr);
    ~JournalPublisher() override;

    // Publishes `path` after the journals before it. The lines already in the file when it
    // is followed are, for a PC log, taken as not this run's.
    void follow(const QString &path);
    // Reads what has been added to the journal and sends what the window allows.
    void poll();
    // Sends what is left, waiting at most `waitMs` for the broker, and writes the state.
    // True when every line has been acknowledged.
    bool finish(int waitMs);

    // Lines acknowledged by the broker since the start.
    qint64 acknowledgedLines() const { return m_acknowledgedLines; }
    // Every line of every journal followed has been acknowledged.
    bool caughtUp() const;

signals:
    // Something the user should know: a line that cannot be read (skipped), a journal that
    // is no PC log or dataset file, a state file that cannot be read or written.
    void problem(const QString &text);

private:
    struct InFlight
    {
        int messageId; // -1: nothing sent (a header or unreadable line)
        qint64 end;    // the offset after the line
        bool acknowledged;
        JournalReader readerAfter;
    };
    struct Journal
    {
        QString path;
        std::unique_ptr<QFile> file;
        JournalReader reader;
        JournalReader acknowledgedReader;
        qint64 acknowledged = 0; // offset after the last acknowledged line
        qint64 read = 0;         // offset after the last line read
        qint64 runStart = 0;     // the file's size when followed
        bool refused = false;
        bool saved = true;
        std::deque<InFlight> inFlight;
    };

    void connected();
    void lost();
    void acknowledged(int messageId);
    void pump();
    void rewind(Journal &journal);
    bool nextLine(Journal &journal, QByteArray &line);
    void handle(Journal &journal, const QByteArray &line);
    void advance(Journal &journal);
    void publishDiscovery(const JournalReader &reader);
    bool atEnd(Journal &journal);
    void save(Journal &journal);
    void saveAll();

    MqttClient &m_client;
    BrokerUrl m_url;
    JournalPublishing m_settings;
    std::deque<std::unique_ptr<Journal>> m_journals;
    QTimer m_pollTimer;
    QTimer m_saveTimer;
    QTimer m_pumpTimer; // the next turn of a backlog, or of a window with room again
    bool m_discoveryDone = false;
    qint64 m_acknowledgedLines = 0;
};
