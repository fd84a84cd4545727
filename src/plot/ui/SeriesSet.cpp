// SPDX-License-Identifier: GPL-3.0-or-later
#include "plot/ui/SeriesSet.h"

#include "plot/ui/PlotView.h"
#include "plot/ui/SeriesGraph.h"
#include "plot/ui/SunBand.h"

#include <QFileInfo>

#include <cmath>
#include <limits>

namespace {

// Total's colour per file; Diffuse is a lighter shade of it.
const QColor FileColours[] = {QColor(0x1f, 0x4e, 0xa8), QColor(0xc0, 0x39, 0x2b),
                              QColor(0x1e, 0x84, 0x49), QColor(0x7d, 0x3c, 0x98),
                              QColor(0xb9, 0x77, 0x0e), QColor(0x11, 0x7a, 0x8b)};
// The sun band's full colour per file: pale, so that the curves stay clear over it.
const QColor SunColours[] = {QColor(0xfb, 0xe8, 0xa6), QColor(0xf6, 0xc8, 0xc4),
                             QColor(0xc6, 0xe8, 0xc8), QColor(0xdc, 0xcc, 0xee),
                             QColor(0xf3, 0xd3, 0xa8), QColor(0xbf, 0xe4, 0xea)};

const QString Sun = QStringLiteral("Sun");
const QString Temp = QStringLiteral("Temp");

bool IsSensorColumn(const QString &column)
{
    return column.size() == 2 && column.at(0) == QLatin1Char('P') && column.at(1).isDigit();
}

QString GraphName(const QString &file, const QString &column, const QString &units)
{
    return units.isEmpty() ? file + QLatin1Char(' ') + column
                           : QStringLiteral("%1 %2 (%3)").arg(file, column, units);
}

} // namespace

SeriesSet::SeriesSet(PlotView &plot, const QString &path, PlotFile file, int index)
    : m_plot(plot), m_path(path), m_name(QFileInfo(path).fileName()), m_index(index),
      m_file(std::move(file))
{
    for (int s = 0; s < m_file.sections.size(); ++s)
        addRecords(s, 0);
}

SeriesSet::~SeriesSet()
{
    for (const Series &series : std::as_const(m_series))
        m_plot.removeGraph(series.graph);
    m_plot.removeUnusedValueAxes();
}

QColor SeriesSet::FileColour(int index)
{
    return FileColours[index % int(std::size(FileColours))];
}

QString SeriesSet::ColumnUnits(const QString &column, const QString &sectionUnits)
{
    if (column == Sun)
        return QString();
    if (column == Temp)
        return QStringLiteral("°C");
    // The logging window converts each sensor's counts to umol.m-2.s-1, whatever the
    // instrument's own units.
    if (IsSensorColumn(column))
        return QStringLiteral("umol.m-2.s-1");
    return sectionUnits;
}

QVector<QCPGraph *> SeriesSet::graphs() const
{
    QVector<QCPGraph *> all;
    for (const Series &series : m_series)
        all.append(series.graph);
    return all;
}

QCPGraph *SeriesSet::graph(const QString &column, const QString &units) const
{
    for (const Series &series : m_series) {
        if (series.column == column && (units.isEmpty() || series.units == units))
            return series.graph;
    }
    return nullptr;
}

double SeriesSet::lastKey() const
{
    for (auto section = m_file.sections.crbegin(); section != m_file.sections.crend(); ++section) {
        if (section->size() > 0)
            return section->time.at(section->size() - 1);
    }
    return std::numeric_limits<double>::quiet_NaN();
}

void SeriesSet::append(const PlotFile &tail)
{
    for (const PlotSection &added : tail.sections) {
        if (added.size() == 0)
            continue;
        PlotSection *last = m_file.sections.isEmpty() ? nullptr : &m_file.sections.last();
        const bool continues = last && last->size() > 0 && last->units == added.units &&
                               last->columns == added.columns &&
                               added.time.at(0) > last->time.at(last->size() - 1);
        if (!continues) {
            m_file.sections.append(added);
            addRecords(int(m_file.sections.size() - 1), 0);
            continue;
        }
        const qsizetype from = last->size();
        for (qsizetype i = 0; i < added.size(); ++i) {
            last->time.append(added.time.at(i));
            for (int c = 0; c < added.columns.size(); ++c)
                last->values[c].append(added.values[c][i]);
        }
        if (last->periodSeconds <= 0 && last->size() > 1)
            last->periodSeconds = last->time.at(1) - last->time.at(0);
        addRecords(int(m_file.sections.size() - 1), from);
    }
    m_file.badLineCount += tail.badLineCount;
    for (const BadLine &bad : tail.badLines) {
        if (m_file.badLines.size() < PlotFile::MaxBadLinesKept)
            m_file.badLines.append(bad);
    }
    if (m_file.firstTimeBack.isNull())
        m_file.firstTimeBack = tail.firstTimeBack;
}

void SeriesSet::setSunStripe(int stripe, int stripes)
{
    for (const Series &series : std::as_const(m_series)) {
        if (auto *band = qobject_cast<SunBand *>(series.graph))
            band->setStripe(stripe, stripes);
    }
}

// Adds the records of a section from `from` on to the graphs of its columns, with a gap
// point before a jump longer than twice the period.
void SeriesSet::addRecords(int sectionIndex, qsizetype from)
{
    const PlotSection &section = m_file.sections.at(sectionIndex);
    if (from >= section.size())
        return;
    const double longest = section.periodSeconds > 0 ? 2.0 * section.periodSeconds
                                                     : std::numeric_limits<double>::infinity();
    for (int c = 0; c < section.columns.size(); ++c) {
        const QString &column = section.columns.at(c);
        if (!m_columns.contains(column))
            m_columns.append(column);
        Series &series =
            seriesFor(column, ColumnUnits(column, section.units), section.time.at(from));
        series.graph->addRecords(sectionIndex, c, from, section.size(), longest);
        series.lastKey = section.time.last();
    }
}

SeriesSet::Series &SeriesSet::seriesFor(const QString &column, const QString &units,
                                        double firstKey)
{
    for (auto series = m_series.rbegin(); series != m_series.rend(); ++series) {
        if (series->column != column || series->units != units)
            continue;
        if (firstKey > series->lastKey)
            return *series;
        break; // times going back over those drawn: graphs of their own
    }
    m_series.append({column, units, addGraph(column, units), 0});
    return m_series.last();
}

SeriesGraph *SeriesSet::addGraph(const QString &column, const QString &units)
{
    const QColor base = FileColour(m_index);
    SeriesGraph *graph = nullptr;
    if (column == Sun) {
        auto *band = new SunBand(m_plot.xAxis, m_plot.sunAxis(), m_file.sections);
        band->setLayer(m_plot.sunLayer());
        band->setBrush(SunColours[m_index % int(std::size(SunColours))]);
        graph = band;
    } else {
        graph = new SeriesGraph(m_plot.xAxis, m_plot.valueAxis(units), m_file.sections);
        QColor colour = base;
        if (column == QLatin1String("Diffuse"))
            colour = base.lighter(160);
        else if (column == Temp)
            colour = QColor(0xa0, 0x40, 0x00);
        else if (IsSensorColumn(column))
            colour =
                QColor::fromHsv((column.at(1).digitValue() * 45 + m_index * 20) % 360, 160, 170);
        graph->setPen(QPen(colour));
    }
    // A second graph of the same column and units holds records whose times went back.
    int earlier = 0;
    for (const Series &series : std::as_const(m_series))
        earlier += series.column == column && series.units == units ? 1 : 0;
    QString name = GraphName(m_name, column, units);
    if (earlier > 0)
        name += QStringLiteral(" #%1").arg(earlier + 1);
    graph->setName(name);
    if (IsSensorColumn(column) || column == Temp)
        m_plot.setGraphShown(graph, false);
    return graph;
}
