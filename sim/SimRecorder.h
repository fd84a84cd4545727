// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "SimBlockFormat.h"
#include "SimLoggerClock.h"
#include "SimMemory.h"
#include "SimRecordSource.h"

#include <QtGlobal>

#include <optional>

// The logger's program, as the program packet carries it.
struct SimProgram
{
    static constexpr quint8 OverwriteFlag = 0x01;
    static constexpr quint8 LoggingFlag = 0x02;

    quint8 readingCode = 10;     // 10 s
    quint8 averagingCode = 0x41; // 1 min
    quint8 sunFs = 0;
    quint8 flags = 0;
    // When logging starts, in logger seconds; nothing before the first start.
    std::optional<qint64> start;

    bool logging() const { return (flags & LoggingFlag) != 0; }
    bool overwrite() const { return (flags & OverwriteFlag) != 0; }
    int readingSeconds() const { return SimBlock::periodSeconds(readingCode); }
    int averagingSeconds() const { return SimBlock::periodSeconds(averagingCode); }
    // The time from one record to the next: the longer of the two periods.
    int intervalSeconds() const;
};

// Where the dataset lies in the ring and how far it has been downloaded.
struct SimDatasetPointers
{
    // Download address meaning "no record of the block downloaded yet": the next record
    // to fetch is then the block's first (offset 8 + 4 = 12).
    static constexpr int NothingDownloaded = 8;

    int startBlock = 0;    // block of the dataset's first record
    int logTop = 0;        // block being filled
    int topCount = 0;      // records in the top block
    int downloadBlock = 0; // block of the last record downloaded
    int downloadAddress = NothingDownloaded;

    // Offset of the last filled slot of the top block, 0 when it has none.
    int topFill() const { return topCount > 0 ? SimBlock::slotOffset(topCount - 1) : 0; }
};

// Logging in real time on the logger's clock, done lazily: whenever the logger is asked
// anything, catchUp() stores every record that has come due since, so no timer is needed
// and a virtual clock drives it exactly.
//
// A block holds records of one program and one units code at one interval without a
// break; a record that does not continue the top block (new units, a clock set, a new
// program) opens the next block. When the ring is full the oldest block of the dataset
// is overwritten, or, without the overwrite flag, logging stops.
class SimRecorder
{
public:
    SimRecorder(SimMemory &memory, const SimLoggerClock &clock, const SimRecordSource &source);

    const SimProgram &program() const { return m_program; }
    const SimDatasetPointers &pointers() const { return m_pointers; }
    bool logging() const { return m_program.logging(); }
    // When the next record is due (logger seconds); nothing while not logging.
    std::optional<qint64> nextRecordTime() const { return m_nextDue; }

    void catchUp();
    // Starts a new dataset with `program` (its logging flag set) in the block after the
    // last one used. A program without the logging flag, or without a valid period, stops
    // logging instead and keeps the dataset.
    void start(SimProgram program);
    // Stops logging; the dataset and the periods stay.
    void stop();
    // Call after the logger's clock has been set (and catchUp() before it): the next
    // record falls on the same grid of record times, at the first one not in the past.
    void clockWasSet();
    // False (and nothing changes) for a block outside the memory or an address beyond it.
    bool setDownloadPointer(int block, int address);

    // Building a dataset directly (a pre-filled memory, tests).
    void beginDataset(int startBlock);
    void setProgram(const SimProgram &program) { m_program = program; }
    // Stores a record at `time`; false when the memory is full and may not be
    // overwritten (logging then stops).
    bool store(qint64 time, const SimBlock::Record &record, int unitsCode);
    void resumeAt(std::optional<qint64> nextRecordTime) { m_nextDue = nextRecordTime; }

private:
    bool continuesTopBlock(qint64 time, const SimBlock::Header &header) const;
    bool openNextBlock();
    void skipWholeRevolutions(qint64 now, int interval);

    SimMemory &m_memory;
    const SimLoggerClock &m_clock;
    const SimRecordSource &m_source;
    SimProgram m_program;
    SimDatasetPointers m_pointers;
    std::optional<qint64> m_nextDue;
    // The top block's header and the time of its first slot, once it has a record.
    SimBlock::Header m_topHeader;
    qint64 m_topStart = 0;
};
