// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QTextStream>

class Clock;

// quorvel-cli's lines on standard error, for a service's journal: at the default level one
// line per event that matters to an operator (device lost and back, a new day's file, a
// clock step, another instrument, a retry), each with the time; with -v also the
// exchanges; with -q errors only.
class Journal
{
public:
    Journal(QTextStream &err, const Clock &clock, int verbosity)
        : m_err(err), m_clock(clock), m_verbosity(verbosity)
    {}

    // "quorvel-cli: 2026-12-07T03:00:01+01:00 device /dev/ttyUSB0 lost"
    void event(const QString &text);
    // The link's status and other details, with -v.
    void exchange(const QString &text);
    // A failure, at every level.
    void error(const QString &text);

    int verbosity() const { return m_verbosity; }

private:
    void write(const QString &text);

    QTextStream &m_err;
    const Clock &m_clock;
    int m_verbosity;
};
