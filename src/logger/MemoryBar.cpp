// SPDX-License-Identifier: GPL-3.0-or-later
#include "logger/MemoryBar.h"

#include "logger/LoggerBlock.h"

namespace MemoryBar {

Layout compute(qint32 memoryBlocks, qint32 recordsRetrieved, qint32 recordsLogged, double width)
{
    Layout layout;
    if (memoryBlocks == 0)
        return layout;
    layout.drawn = true;

    // Compared as whole numbers of records: "more than the memory holds" is exact.
    const qint64 capacity = static_cast<qint64>(memoryBlocks) * LoggerBlock::SlotsPerBlock;
    const double fullWidth = static_cast<double>(capacity);

    if (recordsRetrieved < 1 || recordsRetrieved > capacity) {
        layout.bar1Width = 0;
        layout.firstRecordRgb = NotDownloadedRgb;
    } else {
        layout.bar1Width = recordsRetrieved / fullWidth * width;
        layout.firstRecordRgb = DownloadedRgb;
    }

    layout.bar2Left = layout.bar1Width;
    if (recordsLogged < recordsRetrieved) {
        layout.bar2Width = 0;
    } else if (recordsLogged <= capacity) {
        layout.bar2Width =
            (static_cast<double>(recordsLogged) - recordsRetrieved) / fullWidth * width;
        layout.lastRecordRgb = NotDownloadedRgb;
    } else {
        layout.bar2Width = width;
        layout.lastRecordRgb = DownloadedRgb;
    }

    layout.retrievedRgb = DownloadedRgb;
    return layout;
}

} // namespace MemoryBar
