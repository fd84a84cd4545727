#pragma once

#include <QString>

#include <memory>
#include <vector>

class SeriesSet;

// The read-out under the cursor: for each file, the local date and time of the record
// nearest to the cursor's time and the values of its shown graphs there.
//   "log.txt 05/06/2026 12:00:30 (W.m-2)  Total 512.3  Diffuse 120.0  Sun 1.0  Temp 21.5 °C"
namespace CursorReadout {

QString Text(const std::vector<std::unique_ptr<SeriesSet>> &sets, double key);

} // namespace CursorReadout
