// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "logger/DatasetRecord.h"
#include "platform/DurableFile.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>

// The dataset file a download writes: two heading lines, then data sections, each a
// units line and a column line followed by one line per record. Fields are separated by
// a tab, or by commas when the file's name ends in "csv" (lower case only); in the comma
// form every comma inside a field (a decimal comma, a comma in a date) becomes a point.
// Lines end with CR LF and the text is UTF-8 (plain ASCII for most regional settings; a
// Japanese or Arabic date or decimal mark is kept as it is shown).
//
// Lines are collected and written block by block: flush() writes them and pushes them to
// the disk, so a crash or a power cut keeps every block flushed before it.
class DatasetFile
{
public:
    using Opener = DurableFile::Opener;
    static constexpr auto &OpenReplacingFile = DurableFile::OpenReplacingFile;

    explicit DatasetFile(Opener opener = OpenReplacingFile) : m_file(std::move(opener)) {}

    // The layout of a record line; the headings and the separator are the log file's
    // (common/DataFileText.h).
    // Time (the system's short date and long time), Total and Diffuse in the units'
    // number format, and the sunshine fraction with one decimal.
    // With `isoTimes` the time is ISO 8601 with the UTC offset (2026-10-25T01:30:00+01:00).
    static QString RecordLine(QChar separator, double time, const DatasetRecord::Values &values,
                              const QString &numberFormat, bool isoTimes = false);

    // How the next file is laid out: its separator as for a file named `layoutName` (empty:
    // its own name), and the record times as ISO 8601 when `isoTimes`.
    void setLayout(const QString &layoutName, bool isoTimes)
    {
        m_layoutName = layoutName;
        m_isoTimes = isoTimes;
    }

    // Creates the file and writes the two heading lines to the disk; on failure nothing
    // stays open and `error` says why.
    bool create(const QString &path, const QString &version, const QString &serialNumber,
                const QDateTime &now, QString &error);
    // Opens the file `create` made earlier to write on at its end: no heading lines.
    bool reopen(const QString &path, QString &error);
    void writeSection(const QString &unitsText);
    void writeRecord(double time, const DatasetRecord::Values &values, const QString &numberFormat);
    // Writes the lines added since the last flush and pushes them to the disk. On failure
    // those lines are dropped and `error` says why; the file stays open for the next ones.
    bool flush(QString &error);
    void close();
    bool isOpen() const { return m_file.isOpen(); }

private:
    void add(const QString &line);

    DurableFile m_file;
    QChar m_separator = QLatin1Char('\t');
    QString m_layoutName;
    bool m_isoTimes = false;
    QByteArray m_pending;
};
