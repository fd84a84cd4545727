// SPDX-License-Identifier: GPL-3.0-or-later
#include "SimRecorder.h"

#include "SimTimeStamp.h"

#include <algorithm>

int SimProgram::intervalSeconds() const
{
    return std::max(readingSeconds(), averagingSeconds());
}

SimRecorder::SimRecorder(SimMemory &memory, const SimLoggerClock &clock,
                         const SimRecordSource &source)
    : m_memory(memory), m_clock(clock), m_source(source)
{}

void SimRecorder::catchUp()
{
    const int interval = m_program.intervalSeconds();
    if (!m_program.logging() || !m_nextDue || interval <= 0)
        return;
    const qint64 now = m_clock.nowSeconds();
    while (m_program.logging() && *m_nextDue <= now) {
        if (m_program.overwrite())
            skipWholeRevolutions(now, interval);
        const qint64 time = *m_nextDue;
        const int units = m_source.unitsCode();
        const SimBlock::Record record = m_source.recordAt(time, m_program.readingSeconds(),
                                                          m_program.averagingSeconds(), units);
        if (!store(time, record, units))
            return;
        m_nextDue = time + interval;
    }
}

void SimRecorder::skipWholeRevolutions(qint64 now, int interval)
{
    // Once the ring has wrapped, every further 125 x blocks records leave the pointers
    // where they were and rewrite every block. Records that would be overwritten again
    // within the same catch-up are not worth making: jump over whole turns of the ring,
    // keeping more than one full turn to be recorded for real.
    const qint64 capacity = static_cast<qint64>(m_memory.blockCount()) * SimBlock::SlotsPerBlock;
    const qint64 due = (now - *m_nextDue) / interval + 1;
    const qint64 keep = capacity + 2 * SimBlock::SlotsPerBlock;
    if (due <= capacity + keep)
        return;
    const bool wrapped = m_pointers.startBlock == m_memory.next(m_pointers.logTop);
    const SimBlock::Header header{SimTimeStamp::fromSeconds(*m_nextDue), m_program.readingCode,
                                  m_program.averagingCode,
                                  static_cast<quint8>(m_source.unitsCode())};
    const bool steady =
        m_pointers.topCount == SimBlock::SlotsPerBlock || continuesTopBlock(*m_nextDue, header);
    if (!wrapped || m_pointers.topCount == 0 || !steady)
        return;
    const qint64 turns = (due - keep) / capacity;
    const qint64 skipped = turns * capacity * interval;
    m_nextDue = *m_nextDue + skipped;
    // The top block is as it would be after those turns, only later; its header is
    // rewritten before this catch-up ends.
    m_topStart += skipped;
    // A whole turn overwrites the downloaded records too.
    m_pointers.downloadBlock = m_pointers.startBlock;
    m_pointers.downloadAddress = SimDatasetPointers::NothingDownloaded;
}

void SimRecorder::start(SimProgram program)
{
    catchUp();
    const int interval = program.intervalSeconds();
    if (!program.logging() || interval <= 0) {
        stop();
        return;
    }
    const qint64 now = m_clock.nowSeconds();
    const qint64 startAt = program.start.value_or(now);
    program.start = startAt;
    beginDataset(m_pointers.topCount > 0 ? m_memory.next(m_pointers.logTop) : m_pointers.logTop);
    m_program = program;
    // The first record closes the first whole interval after the start time. No record
    // is made up for a start time in the past: the first one then falls on the first
    // record time that is not.
    qint64 first = startAt + interval;
    if (first < now)
        first += (now - first + interval - 1) / interval * interval;
    m_nextDue = first;
}

void SimRecorder::stop()
{
    catchUp();
    m_program.flags &= static_cast<quint8>(~SimProgram::LoggingFlag);
    m_nextDue.reset();
}

void SimRecorder::clockWasSet()
{
    const int interval = m_program.intervalSeconds();
    if (!m_program.logging() || !m_nextDue || interval <= 0)
        return;
    const qint64 now = m_clock.nowSeconds();
    qint64 next = *m_nextDue;
    // Onto the first time of the grid that is not in the past, forwards or backwards.
    const qint64 steps = -SimLocalTime::floorDiv(next - now, interval);
    next += steps * interval;
    if (m_program.start && next < *m_program.start + interval)
        next = *m_program.start + interval;
    m_nextDue = next;
}

bool SimRecorder::setDownloadPointer(int block, int address)
{
    if (!m_memory.contains(block) || address < 0 || address > SimBlock::Size - SimBlock::SlotSize)
        return false;
    m_pointers.downloadBlock = block;
    m_pointers.downloadAddress = address;
    return true;
}

void SimRecorder::beginDataset(int startBlock)
{
    const int block = m_memory.contains(startBlock) ? startBlock : 0;
    m_memory.erase(block);
    m_pointers = SimDatasetPointers{};
    m_pointers.startBlock = block;
    m_pointers.logTop = block;
    m_pointers.downloadBlock = block;
}

bool SimRecorder::continuesTopBlock(qint64 time, const SimBlock::Header &header) const
{
    return m_pointers.topCount > 0 && m_pointers.topCount < SimBlock::SlotsPerBlock &&
           header.readingCode == m_topHeader.readingCode &&
           header.averagingCode == m_topHeader.averagingCode &&
           header.unitsCode == m_topHeader.unitsCode &&
           time == m_topStart +
                       static_cast<qint64>(m_pointers.topCount) * m_topHeader.intervalSeconds();
}

bool SimRecorder::openNextBlock()
{
    SimDatasetPointers &p = m_pointers;
    const int next = m_memory.next(p.logTop);
    if (next == p.startBlock) {
        if (!m_program.overwrite()) {
            // Memory full: logging ends here.
            m_program.flags &= static_cast<quint8>(~SimProgram::LoggingFlag);
            m_nextDue.reset();
            return false;
        }
        p.startBlock = m_memory.next(p.startBlock);
    }
    if (p.downloadBlock == next) {
        // The records downloaded so far are being overwritten.
        p.downloadBlock = p.startBlock;
        p.downloadAddress = SimDatasetPointers::NothingDownloaded;
    }
    m_memory.erase(next);
    p.logTop = next;
    p.topCount = 0;
    return true;
}

bool SimRecorder::store(qint64 time, const SimBlock::Record &record, int unitsCode)
{
    const SimBlock::Header header{SimTimeStamp::fromSeconds(time), m_program.readingCode,
                                  m_program.averagingCode, static_cast<quint8>(unitsCode)};
    if (m_pointers.topCount > 0 && !continuesTopBlock(time, header) && !openNextBlock())
        return false;
    if (m_pointers.topCount == 0) {
        m_memory.writeHeader(m_pointers.logTop, header);
        m_topHeader = header;
        m_topStart = time;
    }
    m_memory.writeRecord(m_pointers.logTop, m_pointers.topCount, record);
    ++m_pointers.topCount;
    return true;
}
