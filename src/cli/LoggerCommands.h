#pragma once

#include "cli/InstrumentCommands.h"

class InstrumentSession;

// The logger window's work from the command line: its details, its clock, starting and
// stopping logging, and the download into a dataset file, with the same classes.
int RunLoggerCommand(const CliOptions &options, InstrumentSession &session, Console &console,
                     InterruptWatch &interrupts);
