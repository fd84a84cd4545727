// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QProcessEnvironment>
#include <QString>

// The line a window program prints when started where no window can open.
inline const char NoDisplayMessage[] =
    "no display: set DISPLAY or WAYLAND_DISPLAY, or use quorvel-cli";

// Whether a window program can reach a display in this environment: an X display
// (DISPLAY) or a Wayland one (WAYLAND_DISPLAY) is named, or Qt is told which platform to
// use (QT_QPA_PLATFORM, for example offscreen for the headless modes and the tests).
// Without any of them Qt would abort (exit 134, with a hint to reinstall). Empty values
// count as unset. Only the X11 and Wayland desktops need it: elsewhere it is always true.
bool DisplayAvailable(const QProcessEnvironment &environment);

// For main(): prints NoDisplayMessage on standard error and returns false when no display
// can be reached in the program's own environment; true otherwise, printing nothing.
bool CheckDisplay();
