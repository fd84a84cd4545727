// SPDX-License-Identifier: GPL-3.0-or-later
#include "SimPrefill.h"

#include "SimDataset.h"

#include <algorithm>

namespace {

constexpr quint8 FiveSeconds = 5;
constexpr quint8 TenSeconds = 10;
constexpr quint8 OneMinute = 0x41;
constexpr quint8 FiveMinutes = 0x45;
constexpr quint8 TenMinutes = 0x4A;
constexpr qint64 LongGap = 3 * 3600 + 17;
constexpr qint64 ShortGap = 127;

int blocksFor(int records)
{
    return (records + SimBlock::SlotsPerBlock - 1) / SimBlock::SlotsPerBlock;
}

int interval(const SimPrefill::Stretch &stretch)
{
    return std::max(SimBlock::periodSeconds(stretch.readingCode),
                    SimBlock::periodSeconds(stretch.averagingCode));
}

} // namespace

QList<SimPrefill::Stretch> SimPrefill::plan(int records, int unitsNow, qint64 now) const
{
    // The earlier stretches in other units, when the model can change them, so that the
    // dataset ends in the units the instrument shows now.
    const int otherUnits = !m_unitsSwitchable ? unitsNow : (unitsNow == 1 ? 0 : 1);
    const int n = std::max(0, records);
    QList<Stretch> stretches{
        {n * 30 / 100, otherUnits, FiveSeconds, FiveMinutes, 0, 0},
        {n * 20 / 100, otherUnits, FiveSeconds, FiveMinutes, LongGap, 0},
        {n * 20 / 100, unitsNow, FiveSeconds, FiveMinutes, 0, 0},
        {n * 15 / 100, unitsNow, TenSeconds, OneMinute, 0, 0},
        {0, unitsNow, TenSeconds, OneMinute, ShortGap, 0},
    };
    int given = 0;
    for (const Stretch &stretch : stretches)
        given += stretch.records;
    stretches.last().records = n - given;
    stretches.erase(std::remove_if(stretches.begin(), stretches.end(),
                                   [](const Stretch &s) { return s.records == 0; }),
                    stretches.end());

    // Times, from the last record back.
    if (!stretches.isEmpty()) {
        const int lastInterval = interval(stretches.last());
        qint64 end = SimLocalTime::floorDiv(now, lastInterval) * lastInterval;
        for (auto it = stretches.rbegin(); it != stretches.rend(); ++it) {
            const int step = interval(*it);
            it->first = end - static_cast<qint64>(it->records - 1) * step;
            end = it->first - step - it->gapBefore;
        }
    }
    return stretches;
}

void SimPrefill::run(const SimPrefillOptions &options)
{
    const qint64 now = m_clock.nowSeconds();
    const QList<Stretch> stretches = plan(options.records, m_source.unitsCode(), now);
    m_memory.eraseAll();

    int needed = 0;
    for (const Stretch &stretch : stretches)
        needed += blocksFor(stretch.records);
    const int blocks = m_memory.blockCount();
    int startBlock = 0;
    if (options.wrap && needed < blocks) {
        // The dataset straddles the end of the memory; an older one fills the rest.
        startBlock = blocks - std::max(1, needed / 2);
        const qint64 before = stretches.isEmpty() ? now : stretches.first().first;
        fillOlderDataset((startBlock + needed) % blocks, blocks - needed, before);
    } else if (options.wrap) {
        startBlock = blocks / 2;
    }

    const quint8 overwrite = options.overwrite ? SimProgram::OverwriteFlag : 0;
    m_recorder.beginDataset(startBlock);
    bool full = false;
    for (const Stretch &stretch : stretches) {
        if (!fillStretch(stretch, SimProgram::LoggingFlag | overwrite)) {
            full = true;
            break;
        }
    }

    SimProgram program = m_recorder.program();
    program.readingCode = stretches.isEmpty() ? TenSeconds : stretches.last().readingCode;
    program.averagingCode = stretches.isEmpty() ? OneMinute : stretches.last().averagingCode;
    program.sunFs = 0;
    program.flags = overwrite;
    const bool logging = options.logging && !full;
    if (logging)
        program.flags |= SimProgram::LoggingFlag;
    if (!stretches.isEmpty()) {
        program.start = stretches.first().first - interval(stretches.first());
    } else if (logging) {
        program.start = now - 1;
    }
    m_recorder.setProgram(program);
    if (logging) {
        const int step = program.intervalSeconds();
        const qint64 last =
            stretches.isEmpty()
                ? now - 1
                : stretches.last().first + static_cast<qint64>(stretches.last().records - 1) * step;
        m_recorder.resumeAt(last + step);
    } else {
        m_recorder.resumeAt(std::nullopt);
    }
    placeDownloadPointer(options.downloadedRecords);
}

void SimPrefill::fillOlderDataset(int firstBlock, int blocks, qint64 before)
{
    // Ten-minute records in the units of the day, ending a day before the dataset.
    Stretch older;
    older.records = blocks * SimBlock::SlotsPerBlock;
    older.unitsCode = m_source.unitsCode();
    older.readingCode = TenMinutes;
    older.averagingCode = TenMinutes;
    const int step = interval(older);
    const qint64 end = SimLocalTime::floorDiv(before - SimLocalTime::SecondsPerDay, step) * step;
    older.first = end - static_cast<qint64>(older.records - 1) * step;
    m_recorder.beginDataset(firstBlock);
    fillStretch(older, SimProgram::LoggingFlag);
}

bool SimPrefill::fillStretch(const Stretch &stretch, quint8 flags)
{
    SimProgram program = m_recorder.program();
    program.readingCode = stretch.readingCode;
    program.averagingCode = stretch.averagingCode;
    program.flags = flags;
    m_recorder.setProgram(program);
    const int step = interval(stretch);
    for (int i = 0; i < stretch.records; ++i) {
        const qint64 time = stretch.first + static_cast<qint64>(i) * step;
        const SimBlock::Record record = m_source.recordAt(
            time, program.readingSeconds(), program.averagingSeconds(), stretch.unitsCode);
        if (!m_recorder.store(time, record, stretch.unitsCode))
            return false;
    }
    return true;
}

void SimPrefill::placeDownloadPointer(int downloaded)
{
    if (downloaded <= 0)
        return;
    const QList<SimLoggedRecord> records = SimDataset::dataset(m_memory, m_recorder.pointers());
    if (records.isEmpty())
        return;
    const SimLoggedRecord &last = records.at(std::min<qsizetype>(downloaded, records.size()) - 1);
    m_recorder.setDownloadPointer(last.block, SimBlock::slotOffset(last.slot));
}
