// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QtGlobal>

#include <optional>

// The two-part memory bar: the records already downloaded (light blue, from the left
// edge) and, after them, the records not yet downloaded (blue). The time labels of the
// dataset take the colour of the part they belong to.
namespace MemoryBar {

// Fill colours as 0xRRGGBB.
constexpr quint32 DownloadedRgb = 0x8080FF;
constexpr quint32 NotDownloadedRgb = 0x0000FF;

struct Layout
{
    // False when the memory size is unknown (0 blocks): the bar stays as it was.
    bool drawn = false;
    double bar1Width = 0;
    double bar2Left = 0;
    double bar2Width = 0;
    // Text colours of lblFirstRecord, lblLastRecord and lblRetrieved; an empty one is
    // left as it was.
    std::optional<quint32> firstRecordRgb;
    std::optional<quint32> lastRecordRgb;
    std::optional<quint32> retrievedRgb;
};

// The bar's parts in a picture `width` scale units wide.
Layout compute(qint32 memoryBlocks, qint32 recordsRetrieved, qint32 recordsLogged, double width);

} // namespace MemoryBar
