// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "cli/CliOptions.h"
#include "cli/ExitCode.h"

#include <QTextStream>

class Clock;
class InterruptWatch;

// Where a command writes: its results on `out`, messages and failures on `err`.
struct Console
{
    QTextStream &out;
    QTextStream &err;
};

// Runs the command the options name (after --help and --version have been handled) and
// returns its exit code. The trace is written while it runs. The computer's clock is
// used unless `clock` is given.
int RunCliCommand(const CliOptions &options, Console &console, InterruptWatch &interrupts,
                  Clock *clock = nullptr);

// Writes "quorvel-cli: " and `text` as one line on the error stream and returns `code`.
int Fail(Console &console, const QString &text, int code = ExitCode::InstrumentFailed);
