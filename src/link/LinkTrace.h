// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDateTime>
#include <QLoggingCategory>
#include <QString>
#include <QStringList>

class Clock;

// The link's trace for field support: every open, close, read and write of the serial
// line with the bytes as printable text and hex, and the link's own notes (replies it
// refused, retries, CRC failures, its status texts). Each run starts with a header that
// says which program ran how, when and where, and each line starts with the local time
// of day to the millisecond. The category "quorvel.link" is off by default (warnings
// only); StartLinkTrace turns it on and writes it to a file, and
// QT_LOGGING_RULES="quorvel.link.info=true" shows it on the console.
Q_DECLARE_LOGGING_CATEGORY(lcLink)

// What the link did in this run of the program, for the About box.
struct LinkCounters
{
    int exchanges = 0;
    int timeouts = 0;
    int crcFailures = 0;
    int retries = 0;
    int portLosses = 0;
    int reconnects = 0;
    // Bytes that came between exchanges, when nothing was asked, and were dropped.
    int unaskedBytes = 0;

    // "Exchanges 12, time-outs 1, CRC failures 0, retries 0, port losses 1, reconnects 1,
    // unasked bytes dropped 0".
    QString text() const;
};

// Who wrote a trace, how it was started, and when.
struct TraceRun
{
    // "quorvel 1.0.0"
    QString program;
    // The command line, the program's own name first.
    QStringList arguments;
    // The local date and time the trace started.
    QDateTime started;

    // This process: the application's name, version and arguments, now by `clock`.
    static TraceRun current(const Clock *clock = nullptr);
};

// The header lines of a run's trace: the program, the command line (arguments with
// blanks quoted), the local start time and its time zone.
QStringList TraceHeader(const TraceRun &run);

// Bytes as the trace shows them: printable ASCII as it is and any other byte as ".",
// then " | " and the bytes in hex ("I\r" -> "I. | 49 0D").
QString TraceBytes(const QByteArray &bytes);

// Turns the category on and appends its messages to the file at `path`, each line
// stamped with the time of day by `clock` (the computer's when none is given) and flushed
// at once; every other message goes on to the handler installed before. A file that
// holds an earlier run gets a blank line and a rule before this run's header. False,
// with the reason in `error`, when the file cannot be opened for writing.
bool StartLinkTrace(const QString &path, QString &error, const Clock *clock = nullptr);
// Closes the trace file, turns the category off and gives back the previous handler.
void StopLinkTrace();

// Writes the map of port numbers to devices ("COM 1 = /dev/ttyUSB0"), one line each,
// below the header: the owner calls it once its port table is complete.
void TracePorts(const QStringList &ports);

// A note of the link in the trace, "kind: text" ("status: ZQ5  1234 connected on COM 3",
// "retry: ...", "CRC failure: ...", "reply refused: ..."). Line breaks in `text` are
// shown as "\r" and "\n", so that a note stays one line. Costs nothing while the trace
// is off.
void TraceNote(const QString &kind, const QString &text);
