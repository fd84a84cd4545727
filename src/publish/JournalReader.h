// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "plot/DateTimeField.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QStringList>
#include <QVector>

#include <optional>

// One data line of a journal: a PC log file line or a dataset record, as read back from
// the file. A value the line leaves empty (no temperature read in the period) and every
// value of a "bad readings" line is missing, never zero.
struct JournalRecord
{
    QDateTime time; // local time, with the computer's offset from UTC at that time
    bool badReadings = false;
    std::optional<double> total;
    std::optional<double> diffuse;
    std::optional<double> sun;
    QVector<std::optional<double>> sensors; // P0..P7 when the file has them
    std::optional<double> temperature;
    // The step from the record before in the same data section (dataset files, whose
    // sections hold evenly spaced records); missing for the first one.
    std::optional<double> stepSeconds;
};

// Reads a journal line by line, in the file's order, as its two writers write it: the PC
// log file (a "... Logger Data file ..." line, the version and serial number, the units,
// the calibration values with individual sensors, the column line, then one line per
// averaging period) and the dataset file of a download ("... Data file ...", the version
// and serial number, then sections of a units line, a column line and records). Fields
// are separated by tabs or commas (seen in the column line); numbers have a decimal point,
// or in the tab form the locale's decimal comma; the time field is the locale's short date
// and long time. Pure: bytes in, meaning out.
class JournalReader
{
public:
    enum class Kind { PcLog, Dataset };
    enum class Line {
        Header,  // a header, units or column line: nothing to publish
        Record,  // record() holds it
        Bad,     // a data line that cannot be read: error() says why
        Refused, // the file is not a journal this reader knows: error() says why
    };

    // The next line, without its line end (a CR before the LF is dropped here too).
    Line read(QByteArray line);

    const JournalRecord &record() const { return m_record; }
    const QString &error() const { return m_error; }
    bool headerRead() const { return m_expect == Expect::Records; }
    Kind kind() const { return m_kind; }
    // "1234", the model ("ZQ5") and the units of the current section ("W.m-2").
    const QString &serial() const { return m_serial; }
    const QString &model() const { return m_model; }
    const QString &units() const { return m_units; }
    bool hasTemperature() const { return m_columns.contains(QLatin1String("Temp")); }
    // The file's first line, which names the model and when the file was made: with the
    // file's size it tells one journal from another.
    const QString &firstLine() const { return m_firstLine; }

private:
    enum class Expect { FirstLine, SecondLine, Units, CalibrationOrColumns, Columns, Records };

    Line refuse(const QByteArray &line);
    void startSection(const QByteArray &line);
    bool readColumns(const QByteArray &line);
    Line readRecord(const QByteArray &line);
    bool readTime(const QByteArray &field, QDateTime &time);

    Expect m_expect = Expect::FirstLine;
    Kind m_kind = Kind::PcLog;
    char m_separator = '\t';
    QString m_firstLine;
    QString m_serial;
    QString m_model;
    QString m_units;
    QStringList m_columns;
    QVector<DateTimeField> m_candidates;
    int m_chosen = -1;
    std::optional<QDateTime> m_previousTime; // of the section's record before
    JournalRecord m_record;
    QString m_error;
};

// A number field as the writers write it: blanks around it allowed, a decimal comma taken
// as a point; empty when the field is no finite number.
std::optional<double> JournalNumber(const QByteArray &field);

// ISO 8601 with the offset from UTC: 2026-12-05T17:46:00+01:00 (+00:00 for UTC).
QString IsoTimeWithOffset(const QDateTime &time);
