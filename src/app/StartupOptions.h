// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QtGlobal>

// What the command line asks of the main window. The options are matched anywhere in
// the command line (but not inside a path), in any case: "/E" shows the Test menu, "/L" lets the
// built-in-logger menu item and the log status appear, "/P" followed by a number sets the highest
// serial port searched.
struct StartupOptions
{
    static constexpr qint16 DefaultMaxPort = 16;

    bool testMenu = false;
    bool logger = false;
    qint16 maxPort = DefaultMaxPort;
    // The number after "/P" does not fit in 16 bits; maxPort keeps its default.
    bool maxPortOverflow = false;
    // The "/P" option that overflowed, as written ("/P99999"), for the message.
    QString maxPortOption;

    // "Overflow: /P99999 is beyond the port numbers (at most 32767)": the start-up
    // error's description when the number after "/P" does not fit.
    QString overflowDescription() const;

    // The number after "/P" is the numeric value of all the text after the first "/P"
    // (blanks skipped, 0 when no digits follow), rounded to a 16-bit integer.
    static StartupOptions parse(const QString &commandLine);
};
