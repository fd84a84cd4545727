// SPDX-License-Identifier: GPL-3.0-or-later
#include "plot/ui/PlotExport.h"

#include "platform/DurableFile.h"
#include "plot/ui/SeriesSet.h"
#include "plot/ui/WallClock.h"

#include <QStringList>
#include <qcustomplot.h>

#include <cmath>

namespace {

bool Saved(bool written, const QString &path, QString &error)
{
    if (!written)
        error = QStringLiteral("%1 could not be written.").arg(path);
    return written;
}

// Seven significant digits give back the values as the files write them, in single or
// double precision.
QString Value(double value)
{
    return std::isnan(value) ? QString() : QString::number(value, 'g', 7);
}

// The records of one file between the two times, from its sections.
QByteArray FileCsv(const SeriesSet &set, double from, double to)
{
    const PlotFile &file = set.file();
    QByteArray text = set.name().toUtf8() + "\r\n";
    text += "Time,Units," + set.columns().join(QLatin1Char(',')).toUtf8() + "\r\n";
    for (const PlotSection &section : file.sections) {
        QVector<int> columnOf; // the section's column of each of the file's columns
        for (const QString &column : set.columns())
            columnOf.append(section.column(column));
        for (qsizetype i = 0; i < section.size(); ++i) {
            const double key = section.time.at(i);
            if (key < from || key > to)
                continue;
            QStringList fields{WallClock::Text(key, QStringLiteral("yyyy-MM-dd HH:mm:ss")),
                               section.units};
            for (const int c : std::as_const(columnOf))
                fields.append(c < 0 ? QString() : Value(double(section.values[c][i])));
            text += fields.join(QLatin1Char(',')).toUtf8() + "\r\n";
        }
    }
    return text;
}

} // namespace

namespace PlotExport {

QString PictureTitle(const std::vector<std::unique_ptr<SeriesSet>> &sets, const QCPRange &range)
{
    QStringList names;
    for (const auto &set : sets)
        names.append(set->name());
    const QString format = QStringLiteral("yyyy-MM-dd HH:mm");
    return QStringLiteral("%1, %2 to %3")
        .arg(names.join(QStringLiteral(", ")), WallClock::Text(range.lower, format),
             WallClock::Text(range.upper, format));
}

bool SavePng(QCustomPlot &plot, const QString &path, QString &error, int width, int height,
             double scale)
{
    return Saved(plot.savePng(path, width, height, scale), path, error);
}

bool SavePdf(QCustomPlot &plot, const QString &path, QString &error, int width, int height)
{
    return Saved(plot.savePdf(path, width, height), path, error);
}

QByteArray VisibleCsv(const std::vector<std::unique_ptr<SeriesSet>> &sets, double from, double to)
{
    QByteArray text;
    for (const auto &set : sets) {
        if (!text.isEmpty())
            text += "\r\n";
        text += FileCsv(*set, from, to);
    }
    return text;
}

bool SaveVisibleCsv(const std::vector<std::unique_ptr<SeriesSet>> &sets, double from, double to,
                    const QString &path, QString &error)
{
    DurableFile file;
    if (!file.create(path, error))
        return false;
    const bool written = file.write(VisibleCsv(sets, from, to), error);
    file.close();
    return written;
}

} // namespace PlotExport
