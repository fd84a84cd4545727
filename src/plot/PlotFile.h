// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringList>
#include <QVector>

// What the graphing program reads from a dataset file (written by a download) or a PC log
// file (written by the logging window): the header lines, the data sections and the lines
// that could not be read.
//
// Times are wall-clock times as written. A logger's clock does not follow daylight saving
// and a file says nothing of a time zone, so a record's time is kept exactly as the file
// wrote it, with no time-zone conversion: the seconds since 1970-01-01 00:00 of its date
// and time taken as if they were UTC. Every record keeps its place and every day has 24 h
// whatever the computer's time zone; show and summarise them as UTC (Qt::UTC,
// QDateTime::fromMSecsSinceEpoch(ms, Qt::UTC)) to get back the file's own date and time.
// A time written with a UTC offset (2026-10-25T01:30:00+01:00) is kept as the wall-clock
// time it shows (01:30), like every other.

enum class PlotFileKind {
    Dataset, // "ZQ5 Data file ...": data sections, each with its units line and columns
    PcLog,   // "ZQ5 Logger Data file ...": one section after the header
};

// The times of a section's records, compactly: each block of 1024 records holds float
// offsets from a base of its own, which keeps whole seconds exact for periods up to four
// hours. When an offset would not be exact (longer steps, fractions of seconds), the series
// keeps every time as a double instead.
class RecordTimes
{
public:
    void append(double seconds);
    double at(qsizetype i) const
    {
        return m_exact.isEmpty() ? m_bases[i >> BlockBits] + double(m_offsets[i]) : m_exact[i];
    }
    qsizetype size() const { return m_exact.isEmpty() ? m_offsets.size() : m_exact.size(); }
    bool isEmpty() const { return size() == 0; }
    double first() const { return at(0); }
    double last() const { return at(size() - 1); }
    // The bytes held for the times (for the benchmark and tests).
    qsizetype bytes() const;

private:
    static constexpr int BlockBits = 10;
    void keepExact();

    QVector<double> m_bases;
    QVector<float> m_offsets;
    QVector<double> m_exact; // every time, once one did not fit an offset
};

// One data section: its units and columns, and the records as parallel series.
struct PlotSection
{
    qint64 headingLine = 0; // line number (from 1) of the section's units line
    QString unitsLine;      // "Reading Units: W.m-2"
    QString units;          // "W.m-2", "umol.m-2.s-1", "klux"
    // The most common step between records, in seconds; 0 when fewer than two records.
    double periodSeconds = 0;
    // The names of the value columns after "Time": "Total", "Diffuse", "Sun", then
    // "P0".."P7" and "Temp" when the file has them.
    QStringList columns;
    // The most decimals written in each column ("12.34" has two), for showing values as
    // the file wrote them.
    QVector<int> decimals;
    // Each record's wall-clock time as seconds since 1970 taken as UTC (see above).
    RecordTimes time;
    // One series per column, each as long as `time`; NaN where a line said "bad readings"
    // or left the field empty. Single precision holds the seven digits the files write.
    QVector<QVector<float>> values;

    // The index of a column by name, or -1.
    int column(const QString &name) const { return int(columns.indexOf(name)); }
    qsizetype size() const { return time.size(); }
    double timeAt(qsizetype i) const { return time.at(i); }
    double valueAt(int column, qsizetype i) const { return double(values[column][i]); }
};

struct BadLine
{
    qint64 line = 0; // from 1
    QString reason;
};

// A line of the file named in a message: its number (from 1; 0 for none) and its text.
struct QuotedLine
{
    qint64 line = 0;
    QString text;

    bool isNull() const { return line == 0; }
};

struct PlotFile
{
    // At most this many bad lines are kept with their numbers; all are counted.
    static constexpr int MaxBadLinesKept = 1000;

    PlotFileKind kind = PlotFileKind::Dataset;
    // The lines before the column heading: the first two of a dataset; of a PC log also its
    // units line and, with individual sensors, its calibration values.
    QStringList header;
    // Those with records, in the file's order. Within a section time always goes forward:
    // a record whose time repeats or goes back starts a new section with the same units
    // and columns.
    QVector<PlotSection> sections;
    QVector<BadLine> badLines;
    qint64 badLineCount = 0;
    // Why the file was not read (not one of the two formats, too large, unreadable,
    // cancelled); empty when it was.
    QString error;
    bool cancelled = false;
    // The first record whose time repeated or went back, if any.
    QuotedLine firstTimeBack;
    // The date and time pattern the records were read with ("dd/MM/yyyy HH:mm:ss").
    QString timePattern;

    bool ok() const { return error.isEmpty(); }
};
