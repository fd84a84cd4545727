// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "cli/InstrumentCommands.h"

#include <QString>

#include <memory>

class JournalPublisher;
class MqttClient;

// quorvel-cli's side of publishing (--mqtt): the broker client and the journal publisher
// set up from the command line, their news on the error stream, and the end of a run.
class StationPublishing
{
public:
    ~StationPublishing();

    // Connects for the instrument with serial number `serial` and waits a few seconds for
    // the broker's first answer. Null with --mqtt not given. A broker that refuses the
    // user name, password or certificate, or a password file that cannot be read, is a
    // failure: `error` says why and null comes back. A broker that cannot be reached is
    // not: the journal keeps the lines until it can.
    static std::unique_ptr<StationPublishing>
    Start(const CliOptions &options, const QString &serial, Console &console, QString &error);

    // Publishes the file at `path` (its new lines as they are written) after those before.
    void follow(const QString &path);
    // Looks for new lines now (after a line was written).
    void poll();
    // Sends what is left, waiting at most `waitMs`, and disconnects with the status
    // "offline". False, with a message, when lines are left for the next run.
    bool finish(int waitMs);

private:
    explicit StationPublishing(Console &console);
    void reportLoss(const QString &reason);

    Console &m_console;
    std::unique_ptr<MqttClient> m_client;
    std::unique_ptr<JournalPublisher> m_publisher;
    bool m_verbose = true;
    QString m_lastLoss;
};
