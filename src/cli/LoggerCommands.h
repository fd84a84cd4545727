// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "cli/InstrumentCommands.h"
#include "cli/LinkWait.h"

#include <functional>

class Clock;
class InstrumentSession;
class SensorLink;

// The link to the logger with the clock it runs on: an instrument
// session's, or a simulator's in a test.
struct LoggerLine
{
    SensorLink &link;
    Clock &clock;
    // The link's texts in the words of a message ("COM 1" as its device); as they are
    // when empty.
    std::function<QString(const QString &)> describeText;
    // Runs the link's queued requests until a condition holds; the command's own event
    // loop when empty (a test runs them on virtual time).
    LinkEventRunner runEvents = {};

    QString describe(const QString &text) const { return describeText ? describeText(text) : text; }
    void runUntil(const std::function<bool()> &over) const;
};

// The logger window's work from the command line: its details, its clock, starting and
// stopping logging, and the download into a dataset file, with the same classes.
int RunLoggerCommand(const CliOptions &options, InstrumentSession &session, Console &console,
                     InterruptWatch &interrupts);
int RunLoggerCommand(const CliOptions &options, const LoggerLine &line, Console &console,
                     InterruptWatch &interrupts);
