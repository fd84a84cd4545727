// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// How quorvel-cli ends, as scripts and services read it. The same numbers stand in
// --help, the man page and the README.
namespace ExitCode {
constexpr int Done = 0;
// The instrument failed, refused or did not answer (or no device was there).
constexpr int InstrumentFailed = 1;
// The command line was wrong: nothing was done and no port was touched.
constexpr int Usage = 2;
// A file (the output, the trace) could not be written, or an existing output that is not
// this instrument's was left alone.
constexpr int FileFailed = 3;
// Stopped by SIGINT or SIGTERM, with every file closed at a line boundary.
constexpr int Interrupted = 4;
// status --check found the station unhealthy (one line, or one JSON object, a problem).
constexpr int Unhealthy = 5;
// The port is held by another program (named in the message).
constexpr int Busy = 6;
} // namespace ExitCode
