#pragma once

#include <QString>
#include <QStringList>
#include <QVector>

// What the graphing program reads from a dataset file (written by a download) or a PC log
// file (written by the logging window): the header lines, the data sections and the lines
// that could not be read.

enum class PlotFileKind {
    Dataset, // "ZQ5 Data file ...": data sections, each with its units line and columns
    PcLog,   // "ZQ5 Logger Data file ...": one section after the header
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
    // Seconds since the epoch (1970-01-01 UTC) of each record's local date and time, as a
    // date-time axis counts them.
    QVector<double> time;
    // One series per column, each as long as `time`; NaN where a line said "bad readings".
    QVector<QVector<double>> values;

    // The index of a column by name, or -1.
    int column(const QString &name) const { return int(columns.indexOf(name)); }
    qsizetype size() const { return time.size(); }
};

struct BadLine
{
    qint64 line = 0; // from 1
    QString reason;
};

struct PlotFile
{
    // At most this many bad lines are kept with their numbers; all are counted.
    static constexpr int MaxBadLinesKept = 1000;

    PlotFileKind kind = PlotFileKind::Dataset;
    // The lines before the column heading: the first two of a dataset; of a PC log also its
    // units line and, with individual sensors, its calibration values.
    QStringList header;
    QVector<PlotSection> sections; // those with records, in the file's order
    QVector<BadLine> badLines;
    qint64 badLineCount = 0;
    // Why the file was not read (not one of the two formats, too large, unreadable,
    // cancelled); empty when it was.
    QString error;
    bool cancelled = false;

    bool ok() const { return error.isEmpty(); }
};
