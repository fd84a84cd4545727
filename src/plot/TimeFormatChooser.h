// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <QVector>

// When the times of a file can be read in more than one way that its data cannot tell
// apart (a file of a single day written as 1/12/26: the 1st of December or the 12th of
// January), the reader asks which, once, through this view, as a spreadsheet's text import
// does. The window answers with a dialog; without a window the read fails with a message
// that lists the readings.

// One way to read the times: the pattern and where it comes from, and the first records'
// times read with it.
struct TimeFormatCandidate
{
    QString pattern;         // as Qt writes it: "d/M/yy h:mm:ss AP"
    QStringList localeNames; // the locales that write it: "en_AU", "en_NZ" (a few)
    // The wall-clock time of each preview line read this way, in UTC (the file's own date
    // and time); invalid where this way does not read the line.
    QVector<QDateTime> times;
};

struct TimeFormatQuestion
{
    QVector<qint64> lineNumbers; // of the preview lines, from 1
    QStringList lines;           // the first records as written
    QVector<TimeFormatCandidate> candidates;

    // "Line 5 "1/12/26 10:00:00 AM" reads as 2026-12-01 10:00:00 (d/M/yy h:mm:ss AP, en_AU)
    // or as 2026-01-12 10:00:00 (M/d/yy h:mm:ss AP, en_US)."
    QString describe() const;
};

class TimeFormatChooser
{
public:
    virtual ~TimeFormatChooser() = default;
    // The index of the chosen candidate, or -1 for none, which cancels the read.
    virtual int choose(const TimeFormatQuestion &question) = 0;
};

// For reading without a window: chooses none, so that the read fails with a message that
// lists the candidates rather than guessing.
class RefusingTimeFormatChooser : public TimeFormatChooser
{
public:
    int choose(const TimeFormatQuestion &) override { return -1; }
};
