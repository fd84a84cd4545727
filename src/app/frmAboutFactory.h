// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "app/frmDisplay.h"

class Clock;

// Plugs the about box into the main window's "&About" menu. Each opening builds a fresh
// box owned by the main window (it reads the instrument when it is built); the factory
// keeps the last one until the next opening or until the main window goes.
frmDisplay::WindowFactory AboutBoxFactory(const Clock &clock);
