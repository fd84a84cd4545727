#include "plot/ui/PlotExport.h"

#include "platform/DurableFile.h"
#include "plot/ui/SeriesSet.h"

#include <QDateTime>
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

QString Value(double value)
{
    return std::isnan(value) ? QString() : QString::number(value, 'g', 10);
}

// The records of one file between the two times.
QByteArray FileCsv(const SeriesSet &set, double from, double to)
{
    QByteArray text = set.name().toUtf8() + "\r\n";
    text += "Time," + set.columns().join(QLatin1Char(',')).toUtf8() + "\r\n";
    if (set.graphs().isEmpty())
        return text;
    const QSharedPointer<QCPGraphDataContainer> keys = set.graphs().first()->data();
    for (auto it = keys->findBegin(from, false); it != keys->findEnd(to, false); ++it) {
        QStringList fields;
        bool anyValue = false;
        for (const QCPGraph *graph : set.graphs()) {
            const auto at = graph->data()->findBegin(it->key, false);
            const bool found = at != graph->data()->constEnd() && at->key == it->key;
            const double value = found ? at->value : std::nan("");
            anyValue = anyValue || !std::isnan(value);
            fields.append(Value(value));
        }
        if (!anyValue) // a gap between runs, or a line of bad readings
            continue;
        const QDateTime time =
            QDateTime::fromMSecsSinceEpoch(qint64(std::llround(it->key * 1000.0)), Qt::UTC);
        text += (time.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")) + QLatin1Char(',') +
                 fields.join(QLatin1Char(',')))
                    .toUtf8() +
                "\r\n";
    }
    return text;
}

} // namespace

namespace PlotExport {

bool SavePng(QCustomPlot &plot, const QString &path, QString &error)
{
    return Saved(plot.savePng(path), path, error);
}

bool SavePdf(QCustomPlot &plot, const QString &path, QString &error)
{
    return Saved(plot.savePdf(path), path, error);
}

bool SaveVisibleCsv(const std::vector<std::unique_ptr<SeriesSet>> &sets, double from, double to,
                    const QString &path, QString &error)
{
    QByteArray text;
    for (const auto &set : sets) {
        if (!text.isEmpty())
            text += "\r\n";
        text += FileCsv(*set, from, to);
    }
    DurableFile file;
    if (!file.create(path, error))
        return false;
    const bool written = file.write(text, error);
    file.close();
    return written;
}

} // namespace PlotExport
