// SPDX-License-Identifier: GPL-3.0-or-later
#include "SimDataset.h"

#include <cstdlib>

namespace {

// The block's time as a download accepts it.
std::optional<qint64> downloadTime(const SimTimeStamp &stamp)
{
    if (stamp.seconds >= 86400 || stamp.year >= 9999 || stamp.day > 366)
        return std::nullopt;
    return stamp.toSeconds();
}

// Files blocks into sections as the download does.
class SectionCounter
{
public:
    void blockStarts(const SimLoggedRecord &first)
    {
        if (m_section < 0 || m_forceNew || first.unitsText != m_lastUnits ||
            std::llabs(m_expected - first.seconds) > 1)
            ++m_section;
        m_forceNew = false;
        m_lastUnits = first.unitsText;
    }
    void recordWritten(qint64 seconds, int interval) { m_expected = seconds + interval; }
    void endSection() { m_forceNew = true; }
    int section() const { return m_section; }

private:
    int m_section = -1;
    bool m_forceNew = false;
    QString m_lastUnits;
    qint64 m_expected = 0;
};

// Adds a block's records from slot `firstSlot` on, numbering their sections; returns
// how many records the block holds.
int addBlock(QList<SimLoggedRecord> &out, const SimMemory &memory, int block,
             SectionCounter &sections, int firstSlot = 0)
{
    const QList<SimLoggedRecord> records = SimDataset::blockRecords(memory, block);
    if (records.isEmpty())
        return 0;
    const int interval = SimBlock::Header::read(memory.block(block)).intervalSeconds();
    // The section is decided by the block's header time, which is its first slot's.
    sections.blockStarts(records.first());
    for (SimLoggedRecord record : records.mid(firstSlot)) {
        record.section = sections.section();
        sections.recordWritten(record.seconds, interval);
        out.append(record);
    }
    return static_cast<int>(records.size());
}

} // namespace

namespace SimDataset {

QList<SimLoggedRecord> blockRecords(const SimMemory &memory, int block)
{
    QList<SimLoggedRecord> out;
    const QByteArray bytes = memory.block(block);
    const SimBlock::Header header = SimBlock::Header::read(bytes);
    const auto start = downloadTime(header.stamp);
    if (!start)
        return out;
    const int interval = header.intervalSeconds();
    const float factor = SimBlock::unitsFactor(header.unitsCode);
    const int perRecord =
        SimBlock::readingsPerRecord(SimBlock::periodSeconds(header.readingCode), interval);
    for (int slot = 0; slot < SimBlock::SlotsPerBlock; ++slot) {
        const auto raw = SimBlock::Record::read(bytes, slot);
        if (!raw)
            break;
        SimLoggedRecord record;
        record.seconds = *start + static_cast<qint64>(slot) * interval;
        record.time = SimLocalTime::dateTimeOf(record.seconds);
        record.block = block;
        record.slot = slot;
        record.unitsCode = header.unitsCode;
        record.unitsText = SimBlock::unitsText(header.unitsCode);
        record.readingsPerRecord = perRecord;
        record.raw = *raw;
        record.total = factor * static_cast<float>(raw->total);
        record.diffuse = factor * static_cast<float>(raw->diffuse);
        record.sun = static_cast<float>(raw->sunCount) / static_cast<float>(perRecord);
        out.append(record);
    }
    return out;
}

QList<SimLoggedRecord> dataset(const SimMemory &memory, const SimDatasetPointers &pointers)
{
    QList<SimLoggedRecord> out;
    SectionCounter sections;
    int block = pointers.startBlock;
    for (int visited = 0; visited < memory.blockCount(); ++visited) {
        addBlock(out, memory, block, sections);
        if (block == pointers.logTop)
            break;
        block = memory.next(block);
    }
    return out;
}

QList<SimLoggedRecord> newRecords(const SimMemory &memory, const SimDatasetPointers &pointers)
{
    QList<SimLoggedRecord> out;
    SectionCounter sections;
    int block = pointers.downloadBlock;
    int offset = pointers.downloadAddress + SimBlock::SlotSize;
    if (offset > SimBlock::Size - SimBlock::SlotSize) {
        block = memory.next(block);
        offset = 0;
    }
    int firstSlot =
        offset > SimBlock::HeaderSize ? (offset - SimBlock::HeaderSize) / SimBlock::SlotSize : 0;
    for (int visited = 0; visited < memory.blockCount(); ++visited) {
        addBlock(out, memory, block, sections, firstSlot);
        if (block == pointers.logTop)
            break;
        block = memory.next(block);
        firstSlot = 0;
    }
    return out;
}

QList<SimLoggedRecord> wholeMemory(const SimMemory &memory, int startBlock)
{
    QList<SimLoggedRecord> out;
    SectionCounter sections;
    int block = memory.contains(startBlock) ? startBlock : 0;
    for (int visited = 0; visited < memory.blockCount(); ++visited) {
        if (addBlock(out, memory, block, sections) < SimBlock::SlotsPerBlock)
            sections.endSection();
        block = memory.next(block);
    }
    return out;
}

} // namespace SimDataset
