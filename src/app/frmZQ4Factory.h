// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "app/frmDisplay.h"

// Plugs the link's terminal window into the main window's "&Terminal" menu item. The
// terminal is built on its first opening and kept for the rest of the run (it keeps its
// text between showings); the factory lets go of it when the main window goes. Closing
// the terminal raises the link's HideTerminal, which gives the instrument back.
frmDisplay::WindowFactory TerminalWindowFactory();
