// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QSize>
#include <QString>
#include <QStringList>

#include <cstdio>

// Vantplot's command line, and its uses without a window:
//
//   vantplot [FILE...]                              the window, showing the files
//   vantplot --summary FILE...                      the daily summary on standard output,
//                                                   tab-separated as "Copy daily summary"
//   vantplot --export OUT.png|OUT.pdf|OUT.csv [--size WxH] [--from T] [--to T] FILE...
//                                                   the plot (or the records) into OUT
//
// T is a date and time as the files show it, "2026-06-01 12:00" (or "2026-06-01T12:00:30");
// a date alone is the start of that day for --from and its end for --to.
// Exit status: 0 done, 1 a file could not be read or written (with the reason on
// standard error), 2 bad arguments.
struct VantplotCommand
{
    enum class Mode { Window, Summary, Export, Help, Version, Bad };

    Mode mode = Mode::Window;
    QStringList files;
    QString output;
    QSize size{1280, 720};
    double from = 0;
    double to = 0;
    bool hasFrom = false;
    bool hasTo = false;
    QString error; // why the arguments were refused

    static VantplotCommand Parse(const QStringList &arguments);
    static const char *Usage();
};

// The daily summary of the files, or the first file's reason for not being read.
int RunSummary(const VantplotCommand &command, FILE *out, FILE *err);
// Writes the picture or the records; needs a QApplication (offscreen will do).
int RunExport(const VantplotCommand &command, FILE *err);
