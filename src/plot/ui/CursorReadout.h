// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

#include <memory>
#include <vector>

class SeriesSet;

// The read-out under the cursor: for each file, the date and time (as written) of the
// record nearest to the cursor's time and the values of its shown graphs there, each with
// its unit:
//   "log.txt 05/06/2026 12:00:30  Total 512.3 W.m-2  Diffuse 120.0 W.m-2  Sun 1.0  Temp 21.5 °C"
namespace CursorReadout {

QString Text(const std::vector<std::unique_ptr<SeriesSet>> &sets, double key);
// The decimals a value in these units is shown with, as the files write them: two in
// klux, one otherwise.
int Decimals(const QString &units);

} // namespace CursorReadout
