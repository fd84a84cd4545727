// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "plot/PlotFile.h"
#include "plot/TimeFormatChooser.h"

#include <QByteArray>
#include <QString>

// Chooses the reading a file was read with before (its lines read again, or its new ones),
// so that the user is asked once per file; none when that reading is not offered.
class KnownTimeFormatChooser : public TimeFormatChooser
{
public:
    explicit KnownTimeFormatChooser(const QString &pattern) : m_pattern(pattern) {}
    int choose(const TimeFormatQuestion &question) override;

private:
    QString m_pattern;
};

// The lines a growing file (a log still being written) has gained since it was read.
//
// It starts after the file's complete lines and, asked again, reads only the complete lines
// added since: behind the file's own header lines, the last section's units and column
// lines (so the reader takes them as records of that section), with the numbers of lines
// that could not be read counted from the file's start. A file that became shorter or
// whose start changed was replaced: it must be read again whole.
class FileTail
{
public:
    enum class Result { Nothing, Added, Replaced, Failed };

    explicit FileTail(const QString &path);

    // The new complete lines, read in the light of what is known of the file.
    Result read(const PlotFile &known, PlotFile &added, QString &error);
    qint64 offset() const { return m_offset; }

private:
    QByteArray prefix(const PlotFile &known, const QByteArray &head) const;

    QString m_path;
    qint64 m_offset = 0; // after the last complete line read
    qint64 m_lines = 0;  // complete lines before m_offset
    QByteArray m_head;   // the file's first bytes, to see it replaced
};
