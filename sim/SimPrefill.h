// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "SimLoggerClock.h"
#include "SimMemory.h"
#include "SimRecordSource.h"
#include "SimRecorder.h"

#include <QList>
#include <QtGlobal>

// A logger memory as an instrument brings it back from the field.
struct SimPrefillOptions
{
    // Records in the dataset (fewer when the memory fills up without overwriting).
    int records = 0;
    // The ring has wrapped: an older dataset fills the rest of the memory and the
    // dataset runs over the end of the memory into block 0.
    bool wrap = false;
    // The program's overwrite flag.
    bool overwrite = false;
    // Still logging: the next record follows the last one on time.
    bool logging = false;
    // Records of the dataset already downloaded (the download pointer is on the last).
    int downloadedRecords = 0;
};

// Fills the memory with a dataset that ends just before the logger's present time and
// holds the things that split a download into several data sections: a gap of some
// hours, a change of units (on models that can change them), a change of averaging
// period and a short gap. The same options and the same logger time give the same
// memory, byte for byte.
class SimPrefill
{
public:
    // One stretch of the dataset: records of one program and units without a break.
    struct Stretch
    {
        int records = 0;
        int unitsCode = 0;
        quint8 readingCode = 0;
        quint8 averagingCode = 0;
        qint64 gapBefore = 0; // seconds beyond the usual interval before its first record
        qint64 first = 0;     // time of its first record
    };

    SimPrefill(SimRecorder &recorder, SimMemory &memory, const SimRecordSource &source,
               const SimLoggerClock &clock, bool unitsSwitchable)
        : m_recorder(recorder), m_memory(memory), m_source(source), m_clock(clock),
          m_unitsSwitchable(unitsSwitchable)
    {}

    void run(const SimPrefillOptions &options);

    // The stretches a dataset of `records` records is made of, with their times, the last
    // record falling on the last whole interval at or before `now`.
    QList<Stretch> plan(int records, int unitsNow, qint64 now) const;

private:
    void fillOlderDataset(int firstBlock, int blocks, qint64 before);
    bool fillStretch(const Stretch &stretch, quint8 flags);
    void placeDownloadPointer(int downloaded);

    SimRecorder &m_recorder;
    SimMemory &m_memory;
    const SimRecordSource &m_source;
    const SimLoggerClock &m_clock;
    bool m_unitsSwitchable;
};
