// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "link/Lifetime.h"
#include "logger/LoggerClock.h"
#include "logger/LoggerState.h"

#include <QByteArray>
#include <QString>

#include <functional>
#include <memory>
#include <optional>

class Clock;
class LoggerPackets;
class SensorLink;

// What one read of the logger's details gives the window to show.
struct LoggerDetailsView
{
    // Label6 and lblSerial: the names and values of the instrument's details, lines
    // separated by CR LF.
    QString namesColumn;
    QString valuesColumn;

    // The logger's clock, or "Error retrieving time".
    QString loggerTimeText;
    bool clockRead = false;
    ClockAlarm clockAlarm = ClockAlarm::Normal;

    // With the logger's program unknown, the next and first record labels say "Error
    // retrieving program" (the next record "Error retrieving time" when the status read
    // failed).
    QString nextRecordText;
    QString firstRecordText;
    QString lastRecordText;
    QString retrievedText;

    // The link's status after the read.
    QString statusText;
};

// Reads everything the logger window shows, command by command: identity and power,
// memory size, clock, program, logging status, the first record, the top block and the
// download position. A failed exchange is shown in place. Every figure rests on the
// memory size, the program and the status, and the counts on the dataset's blocks: when
// one of these reads fails, or the program names a block beyond the memory, the logger's
// details are unknown (with the reason) and nothing further is read; no default program
// stands in for them. The commands are queued on the link one after the other, each once
// the one before has ended.
class LoggerDetailsReader
{
public:
    LoggerDetailsReader(SensorLink &link, const Clock &clock, LoggerPackets &packets);

    // What a read found, heard once its last exchange has ended (never inside read()).
    using Done = std::function<void(const LoggerDetailsView &view, const LoggerDetails &details)>;
    void read(Done done);

    // The power number above which the supply is fine (mV).
    static constexpr double PowerWarningLimit = 1600;

private:
    // One read under way: what it has found so far.
    struct Read;
    using Step = std::shared_ptr<Read>;

    void readIdentity(const Step &read);
    void readMemorySize(const Step &read);
    void readClock(const Step &read);
    void readProgram(const Step &read);
    void afterProgram(const Step &read);
    void readLoggingStatus(const Step &read);
    void afterStatus(const Step &read);
    // The dataset: its first record, its last record (from the top block) and the
    // download position.
    void readFirstRecord(const Step &read);
    void readTopBlock(const Step &read);
    void readRetrieved(const Step &read);
    void finish(const Step &read);

    // Each of these returns why its part is unknown; empty when the reply gave it.
    QString memorySizeFrom(Read &read, const ParsedReply<QByteArray> &reply);
    QString clockFrom(Read &read, const ParsedReply<QByteArray> &reply);
    QString programFrom(Read &read, const ParsedReply<QByteArray> &reply);
    QString loggingStatusFrom(Read &read, const ParsedReply<QByteArray> &reply);
    // Leaves the read's interval empty when the dataset holds no valid record.
    QString firstRecordFrom(Read &read, const ParsedReply<QByteArray> &reply);
    QString topBlockFrom(Read &read, const ParsedReply<QByteArray> &reply);
    QString retrievedFrom(Read &read, const ParsedReply<QByteArray> &reply);
    static void countRecords(LoggerState &state);

    // The computer's date and time, to the whole second.
    double computerSecond() const;

    SensorLink &m_link;
    const Clock &m_clock;
    LoggerPackets &m_packets;
    Lifetime m_lifetime;
};

// Records in whole blocks from block `from` up to (not including) block `to`, going
// round the memory ring, plus those in block `to` up to byte offset `offset`.
qint32 RecordsBetween(qint64 from, qint64 to, qint64 offset, qint32 memoryBlocks);

// The memory size as the window shows it: half the number of 512-byte blocks in kB, a
// half written as ".5" with the locale's decimal point.
QString MemorySizeText(qint32 memoryBlocks);
