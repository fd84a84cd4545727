// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QLoggingCategory>
#include <QString>

// The link's trace for field support: every open, close, read, write and wait of the
// serial line, with the time, the direction and the bytes as printable text and hex. The
// category "quorvel.link" is off by default (warnings only); StartLinkTrace turns it on
// and writes it to a file, and QT_LOGGING_RULES="quorvel.link.info=true" shows it on the
// console.
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

// Bytes as the trace shows them: printable ASCII as it is and any other byte as ".",
// then " | " and the bytes in hex ("I\r" -> "I. | 49 0D").
QString TraceBytes(const QByteArray &bytes);

// Turns the category on and appends its messages to the file at `path`, each flushed as
// one line; every other message goes on to the handler installed before. False, with the
// reason in `error`, when the file cannot be opened for writing.
bool StartLinkTrace(const QString &path, QString &error);
// Closes the trace file, turns the category off and gives back the previous handler.
void StopLinkTrace();
