// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "app/frmDisplay.h"

class Clock;
class UserPrompts;

// Plugs the PC-logging window into the main window's "Log to &PC" menu item. The window
// is built at the first opening and kept (with its calibration factors and last log
// file name) until the main window goes; every opening loads its controls afresh.
// Closing it gives the instrument back to the main window.
frmDisplay::WindowFactory PCLogWindowFactory(Clock &clock, UserPrompts &prompts);
