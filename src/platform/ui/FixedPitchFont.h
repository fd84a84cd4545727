// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QFont>

// The fixed-pitch font of the program's text tables: "Courier New" where the system has
// it (or a fixed-pitch font the system puts in its place), else the system's own
// fixed-pitch font. A `pointSize` above 0 sets the size; 0 or less keeps the size the
// chosen font comes with.
QFont FixedPitchFont(int pointSize);
