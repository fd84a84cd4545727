// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "app/frmDisplay.h"

class Clock;
class UserPrompts;

// Plugs the logger window into the main window's "&Built-in Logger" menu item. Each
// opening builds a fresh window (it loads its state when it opens); the factory keeps
// the last one until the next opening or until the main window goes. Closing the logger
// window gives the instrument back to the main window.
frmDisplay::WindowFactory LoggerWindowFactory(Clock &clock, UserPrompts &prompts);
