// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "SimBlockFormat.h"
#include "SimMemory.h"
#include "SimRecorder.h"

#include <QDateTime>
#include <QList>
#include <QString>

// One record as the logger's memory holds it, with everything a download makes of it:
// its time, its values in the block's units and the data section it is filed under.
struct SimLoggedRecord
{
    qint64 seconds = 0; // logger time (SimTimeStamp.h)
    QDateTime time;     // the same as a local date and time
    int block = 0;
    int slot = 0;
    int section = -1; // data section of the download, from 0; -1 when not worked out
    int unitsCode = 0;
    QString unitsText;
    int readingsPerRecord = 1;
    SimBlock::Record raw;
    // Raw values times the units factor, formed in single precision; sunshine fraction.
    float total = 0;
    float diffuse = 0;
    float sun = 0;
};

// The records in the logger's memory, read straight from it, for comparing a downloaded
// file with what the logger holds. A block whose header a download rejects (seconds of
// 86400 or more, year 9999 or more, day beyond 366, or no calendar date) yields nothing.
namespace SimDataset {

QList<SimLoggedRecord> blockRecords(const SimMemory &memory, int block);

// The dataset from its first record to the last, blocks startBlock .. logTop, with the
// sections a download from the start of the dataset writes: a new one at the first block,
// whenever the units text changes, and whenever a block's time is more than 1 s away from
// the time that would have followed the previous record.
QList<SimLoggedRecord> dataset(const SimMemory &memory, const SimDatasetPointers &pointers);

// The records not yet downloaded, as a download of the new records fetches them: from
// the one after the download pointer (the next block's first when the pointer is on a
// block's last slot) to the end of the dataset, sections numbered afresh.
QList<SimLoggedRecord> newRecords(const SimMemory &memory, const SimDatasetPointers &pointers);

// Every block of the memory round the ring from startBlock, as a whole-memory download
// reads them: besides the rules above, a block with fewer than 125 records ends its
// section.
QList<SimLoggedRecord> wholeMemory(const SimMemory &memory, int startBlock);

} // namespace SimDataset
