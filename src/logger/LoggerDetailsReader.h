#pragma once

#include "logger/LoggerClock.h"
#include "logger/LoggerState.h"

#include <QString>

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

    // True when a program was read (or replaced by the default after a range check):
    // the period lists, the overwrite box and the logging state then follow it.
    bool programShown = false;

    QString nextRecordText;
    QString firstRecordText;
    // Empty when the label keeps what it showed.
    std::optional<QString> lastRecordText;
    QString retrievedText;

    // The link's status after the read.
    QString statusText;
};

// Reads everything the logger window shows, command by command, into the window's
// LoggerState: identity and power, memory size, clock, program, logging status, the
// first record, the top block and the download position. A failed exchange is shown in
// place and the read goes on.
class LoggerDetailsReader
{
public:
    LoggerDetailsReader(SensorLink &link, const Clock &clock, LoggerPackets &packets);

    LoggerDetailsView read(LoggerState &state);

    // The power number above which the supply is fine (mV).
    static constexpr double PowerWarningLimit = 1600;

private:
    void readIdentity(LoggerDetailsView &view);
    void readMemorySize(LoggerState &state, LoggerDetailsView &view);
    void readClock(LoggerState &state, LoggerDetailsView &view);
    void readProgram(LoggerState &state, LoggerDetailsView &view);
    void readLoggingStatus(LoggerState &state, LoggerDetailsView &view);
    // The dataset: its first record, its last record (from the top block) and the
    // download position; false when the dataset's start could not be read.
    bool readFirstRecord(LoggerState &state, LoggerDetailsView &view, qint32 &interval);
    void readTopBlock(LoggerState &state, LoggerDetailsView &view, qint32 interval);
    void readRetrieved(LoggerState &state, LoggerDetailsView &view, qint32 interval);
    static void countRecords(LoggerState &state);
    static void forgetDataset(LoggerState &state, LoggerDetailsView &view, const QString &first);

    double computerNow() const;

    SensorLink &m_link;
    const Clock &m_clock;
    LoggerPackets &m_packets;
};

// Records in whole blocks from block `from` up to (not including) block `to`, going
// round the memory ring, plus those in block `to` up to byte offset `offset`.
qint32 RecordsBetween(qint64 from, qint64 to, qint64 offset, qint32 memoryBlocks);

// The memory size as the window shows it: half the number of 512-byte blocks in kB, a
// half written as ".5" with the locale's decimal point.
QString MemorySizeText(qint32 memoryBlocks);
