#pragma once

#include "cli/InstrumentCommands.h"

class InstrumentSession;

// Logging on the computer as the logging window does it (the same LoggingRun, schedule,
// averaging and file), until --duration, SIGINT or SIGTERM, with a new file at midnight
// for a dated --output and the port opened again when the device comes back.
int RunLogCommand(const CliOptions &options, InstrumentSession &session, Console &console,
                  InterruptWatch &interrupts);
