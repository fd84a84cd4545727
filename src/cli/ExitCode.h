#pragma once

// How quorvel-cli ends, as scripts and services read it.
namespace ExitCode {
constexpr int Done = 0;
// The instrument failed, refused or did not answer (or no device was there).
constexpr int InstrumentFailed = 1;
// The command line was wrong: nothing was done and no port was touched.
constexpr int Usage = 2;
// A file (the output, the trace) could not be written.
constexpr int FileFailed = 3;
// Stopped by SIGINT or SIGTERM, with every file closed at a line boundary.
constexpr int Interrupted = 4;
} // namespace ExitCode
