#pragma once

#include <QString>

#include <memory>
#include <vector>

class SeriesSet;

// The read-out under the cursor: for each file, the local date and time of the record
// nearest to the cursor's time and the values of its shown graphs there.
//   "demo.txt 05/06/2026 12:00:30  Total 512.3  Diffuse 120.0  Sun 1.0 W.m-2"
namespace CursorReadout {

QString Text(const std::vector<std::unique_ptr<SeriesSet>> &sets, double key);

} // namespace CursorReadout
