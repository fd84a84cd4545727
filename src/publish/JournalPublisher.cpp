// SPDX-License-Identifier: GPL-3.0-or-later
#include "publish/JournalPublisher.h"

#include "publish/HomeAssistantDiscovery.h"
#include "publish/MqttClient.h"
#include "publish/ReadingMessage.h"

#include <QElapsedTimer>
#include <QEventLoop>

JournalPublisher::JournalPublisher(MqttClient &client, BrokerUrl url, JournalPublishing settings,
                                   QObject *parent)
    : QObject(parent), m_client(client), m_url(std::move(url)), m_settings(std::move(settings))
{
    connect(&m_client, &MqttClient::connected, this, &JournalPublisher::connected);
    connect(&m_client, &MqttClient::connectionLost, this, &JournalPublisher::lost);
    connect(&m_client, &MqttClient::acknowledged, this, &JournalPublisher::acknowledged);
    connect(&m_pollTimer, &QTimer::timeout, this, &JournalPublisher::poll);
    connect(&m_pumpTimer, &QTimer::timeout, this, &JournalPublisher::pump);
    m_pumpTimer.setInterval(0);
    m_pollTimer.start(m_settings.pollMs);
    // The state files are written now and then, not at every acknowledgement: a crash
    // sends again at most what was acknowledged since.
    connect(&m_saveTimer, &QTimer::timeout, this, &JournalPublisher::saveAll);
    m_saveTimer.start(m_settings.saveMs);
}

JournalPublisher::~JournalPublisher()
{
    saveAll();
}

void JournalPublisher::follow(const QString &path)
{
    auto journal = std::make_unique<Journal>();
    journal->path = path;
    journal->file = std::make_unique<QFile>(path);
    if (!journal->file->open(QIODevice::ReadOnly)) {
        emit problem(QStringLiteral("cannot read ") + path + QStringLiteral(" to publish it: ") +
                     journal->file->errorString());
        journal->refused = true;
    }
    journal->runStart = journal->file->size();
    const QString statePath = JournalStatePath(path);
    QString error;
    const std::optional<JournalPosition> position = ReadJournalPosition(statePath, error);
    if (!error.isEmpty())
        emit problem(QStringLiteral("cannot read ") + statePath + QStringLiteral(" (") + error +
                     QStringLiteral("): publishing ") + path + QStringLiteral(" from its start"));
    if (position && !journal->refused) {
        QByteArray first = journal->file->readLine();
        while (first.endsWith('\n') || first.endsWith('\r'))
            first.chop(1);
        const bool atLineEnd =
            position->offset == 0 ||
            (journal->file->seek(position->offset - 1) && journal->file->read(1) == "\n");
        // Another first line is another file (a new one under the same name): it is all
        // new. The same file shorter than the position, or a position inside a line, is a
        // file changed behind our back: worth a word.
        const bool sameFile = QString::fromUtf8(first) == position->firstLine;
        if (sameFile && position->offset <= journal->runStart && atLineEnd)
            journal->acknowledged = position->offset;
        else if (sameFile)
            emit problem(statePath + QStringLiteral(" does not fit ") + path +
                         QStringLiteral(" (cut short or changed): publishing it from its start"));
        journal->file->seek(0);
    }
    m_journals.push_back(std::move(journal));
    pump();
}

void JournalPublisher::poll()
{
    pump();
}

void JournalPublisher::connected()
{
    m_discoveryDone = false;
    pump();
}

void JournalPublisher::lost()
{
    // What was in flight may not have arrived: it is read again from the journal.
    for (auto &journal : m_journals)
        rewind(*journal);
}

void JournalPublisher::rewind(Journal &journal)
{
    // Still reading up to the acknowledged position: nothing has been sent.
    if (journal.read < journal.acknowledged)
        return;
    journal.inFlight.clear();
    journal.reader = journal.acknowledgedReader;
    journal.read = journal.acknowledged;
    journal.file->seek(journal.read);
}

void JournalPublisher::acknowledged(int messageId)
{
    if (m_journals.empty())
        return;
    Journal &journal = *m_journals.front();
    for (InFlight &entry : journal.inFlight) {
        if (entry.messageId == messageId) {
            entry.acknowledged = true;
            advance(journal);
            break;
        }
    }
    // The window has room again: the next lines go out after this event.
    m_pumpTimer.start();
}

void JournalPublisher::advance(Journal &journal)
{
    while (!journal.inFlight.empty() && journal.inFlight.front().acknowledged) {
        InFlight &entry = journal.inFlight.front();
        if (entry.messageId != -1)
            ++m_acknowledgedLines;
        journal.acknowledged = entry.end;
        journal.acknowledgedReader = std::move(entry.readerAfter);
        journal.inFlight.pop_front();
        journal.saved = false;
    }
}

bool JournalPublisher::nextLine(Journal &journal, QByteArray &line)
{
    line = journal.file->readLine();
    if (line.isEmpty())
        return false;
    if (!line.endsWith('\n')) {
        // A line still being written: it is read again whole later.
        journal.file->seek(journal.read);
        return false;
    }
    journal.read += line.size();
    line.chop(1);
    return true;
}

void JournalPublisher::handle(Journal &journal, const QByteArray &line)
{
    const qint64 end = journal.read;
    const qint64 start = end - line.size() - 1;
    const JournalReader::Line kind = journal.reader.read(line);
    if (kind == JournalReader::Line::Refused) {
        emit problem(journal.path + QStringLiteral(" is not published: ") + journal.reader.error());
        journal.refused = true;
        return;
    }
    if (end <= journal.acknowledged) {
        // Delivered before: read again only for the header and sections it holds.
        journal.acknowledgedReader = journal.reader;
        return;
    }
    int messageId = -1;
    if (kind == JournalReader::Line::Record) {
        const bool pcLog = journal.reader.kind() == JournalReader::Kind::PcLog;
        MessageFacts facts{journal.reader.serial(), journal.reader.units(), {}, {}};
        if (!pcLog) {
            facts.periodSeconds = journal.reader.record().stepSeconds;
        } else if (start >= journal.runStart) {
            facts.periodSeconds = m_settings.periodSeconds;
            facts.readings = m_settings.readingsPerPeriod;
        }
        messageId =
            m_client.publish(m_url.topic(journal.reader.serial(), pcLog ? QStringLiteral("reading")
                                                                        : QStringLiteral("record")),
                             ReadingJson(journal.reader.record(), facts));
        // Not taken: the connection is gone; this line is read again after the next connect.
        if (messageId == -1) {
            rewind(journal);
            return;
        }
    } else if (kind == JournalReader::Line::Bad) {
        emit problem(journal.path + QStringLiteral(": a line skipped: ") + journal.reader.error());
    }
    journal.inFlight.push_back({messageId, end, messageId < 0, journal.reader});
    advance(journal);
}

void JournalPublisher::publishDiscovery(const JournalReader &reader)
{
    m_discoveryDone = true;
    if (m_settings.discoveryPrefix.isEmpty() || reader.kind() != JournalReader::Kind::PcLog)
        return;
    const StationFacts station{reader.serial(), reader.model(), reader.units(),
                               reader.hasTemperature()};
    for (const DiscoveryMessage &message :
         HomeAssistantDiscovery(m_settings.discoveryPrefix, m_url, station))
        m_client.publish(message.topic, message.payload, true);
}

bool JournalPublisher::atEnd(Journal &journal)
{
    return journal.refused || journal.read >= journal.file->size();
}

void JournalPublisher::pump()
{
    m_pumpTimer.stop();
    int budget = m_settings.linesPerTurn;
    while (m_client.isConnected() && !m_journals.empty()) {
        Journal &journal = *m_journals.front();
        QByteArray line;
        while (!journal.refused && budget > 0 && m_client.isConnected() &&
               qsizetype(journal.inFlight.size()) < m_settings.window && nextLine(journal, line)) {
            --budget;
            handle(journal, line);
            if (!m_discoveryDone && journal.reader.headerRead() && m_client.isConnected())
                publishDiscovery(journal.reader);
        }
        if (budget == 0) {
            // More to read: after the events waiting, so that logging is not held up.
            m_pumpTimer.start();
            return;
        }
        const bool done = journal.inFlight.empty() && atEnd(journal);
        if (m_journals.size() < 2 || !done)
            return;
        // The next day's file, once this one is delivered to its end.
        save(journal);
        m_journals.pop_front();
    }
}

bool JournalPublisher::caughtUp() const
{
    for (const auto &journal : m_journals) {
        if (!journal->refused &&
            (!journal->inFlight.empty() || journal->acknowledged < journal->file->size()))
            return false;
    }
    return true;
}

bool JournalPublisher::finish(int waitMs)
{
    m_pollTimer.stop();
    QElapsedTimer elapsed;
    elapsed.start();
    QEventLoop loop;
    QTimer check;
    connect(&check, &QTimer::timeout, &loop, [&] {
        pump();
        if (caughtUp() || elapsed.hasExpired(waitMs))
            loop.quit();
    });
    pump();
    if (!caughtUp()) {
        check.start(20);
        loop.exec();
    }
    saveAll();
    return caughtUp();
}

void JournalPublisher::save(Journal &journal)
{
    // Only a journal whose position moved is written (never a refused one: it has none).
    if (journal.saved)
        return;
    QString error;
    const QString statePath = JournalStatePath(journal.path);
    if (WriteJournalPosition(statePath,
                             {journal.acknowledged, journal.acknowledgedReader.firstLine()}, error))
        journal.saved = true;
    else
        emit problem(QStringLiteral("cannot write ") + statePath + QStringLiteral(": ") + error);
}

void JournalPublisher::saveAll()
{
    for (auto &journal : m_journals)
        save(*journal);
}
