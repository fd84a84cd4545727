// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringList>

// What the program's own long options ask for. They are taken out of the argument list
// before the "/E", "/L" and "/P" scan, since a device path such as /dev/pts/3 contains
// "/P".
struct ProgramOptions
{
    // Devices named with --device PATH, in the order given.
    QStringList devices;
    // --demo: start the built-in simulator and list its device among the ports.
    bool demo = false;
    // --trace FILE: the link's trace is written to FILE.
    QString traceFile;
    // The model after --demo=, empty for the default model.
    QString demoModel;
    // How many --device entries came before --demo, so the simulator takes its place
    // among them in the order given.
    int demoPosition = 0;
    bool help = false;
    bool version = false;
    // Everything else, in order.
    QStringList rest;
    // Options that could not be understood ("--device" without a path), one text each.
    QStringList errors;
};

// Splits the argument list (without the program name) into the long options and the rest.
// An unknown option ("--bogus", "-x") is an error; the window system's own options
// ("-platform offscreen", "-reverse") are left to it, and a word such as "-3" is a
// number, for "/P -3".
ProgramOptions ParseProgramArguments(const QStringList &args);

// An argument as an error message quotes it: a long one is cut, so that the message
// stays one readable line.
QString ArgumentForMessage(const QString &arg);
