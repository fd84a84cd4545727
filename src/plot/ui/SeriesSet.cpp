#include "plot/ui/SeriesSet.h"

#include "plot/GapSplitter.h"
#include "plot/ui/PlotView.h"
#include "plot/ui/SunBand.h"

#include <algorithm>
#include <limits>

namespace {

// Total's colour per file; Diffuse is a lighter shade of it.
const QColor FileColours[] = {QColor(0x1f, 0x4e, 0xa8), QColor(0xc0, 0x39, 0x2b),
                              QColor(0x1e, 0x84, 0x49), QColor(0x7d, 0x3c, 0x98)};

bool IsSensorColumn(const QString &column)
{
    return column.size() == 2 && column.at(0) == QLatin1Char('P') && column.at(1).isDigit();
}

// One column across all sections, with a NaN point at every gap and between sections.
QVector<QCPGraphData> ColumnData(const PlotFile &file, const QString &column)
{
    QVector<QCPGraphData> data;
    qsizetype points = 0;
    for (const PlotSection &section : file.sections)
        points += section.size() + 1;
    data.reserve(points);
    const double nan = std::numeric_limits<double>::quiet_NaN();
    for (const PlotSection &section : file.sections) {
        const int c = section.column(column);
        if (c < 0 || section.size() == 0)
            continue;
        if (!data.isEmpty())
            data.append(QCPGraphData((data.last().key + section.timeAt(0)) / 2.0, nan));
        const BrokenSeries broken = WithBreaks(section, c, ContinuousRuns(section));
        for (qsizetype i = 0; i < broken.time.size(); ++i)
            data.append(QCPGraphData(broken.time.at(i), broken.values.at(i)));
    }
    return data;
}

} // namespace

SeriesSet::SeriesSet(PlotView &plot, const QString &name, const PlotFile &file, int index)
    : m_plot(plot), m_name(name)
{
    QStringList units;
    for (const PlotSection &section : file.sections) {
        if (!units.contains(section.units))
            units.append(section.units);
        for (const QString &column : section.columns) {
            if (!m_columns.contains(column))
                m_columns.append(column);
        }
    }
    m_units = units.join(QStringLiteral(", "));

    const QColor base = FileColours[index % int(std::size(FileColours))];
    for (const QString &column : std::as_const(m_columns)) {
        QColor colour = base;
        if (column == QLatin1String("Diffuse"))
            colour = base.lighter(160);
        else if (column == QLatin1String("Temp"))
            colour = QColor(0xa0, 0x40, 0x00);
        else if (IsSensorColumn(column))
            colour = QColor::fromHsv((column.at(1).digitValue() * 45 + index * 20) % 360, 160, 170);
        m_graphs.append(addGraph(plot, column, file, colour));
    }
}

SeriesSet::~SeriesSet()
{
    for (QCPGraph *graph : std::as_const(m_graphs))
        m_plot.removeGraph(graph);
}

QCPGraph *SeriesSet::graph(const QString &column) const
{
    const qsizetype i = m_columns.indexOf(column);
    return i < 0 ? nullptr : m_graphs.at(i);
}

QCPGraph *SeriesSet::addGraph(PlotView &plot, const QString &column, const PlotFile &file,
                              QColor colour)
{
    const bool sun = column == QLatin1String("Sun");
    QCPAxis *valueAxis = sun                               ? plot.sunAxis()
                         : column == QLatin1String("Temp") ? plot.yAxis2
                                                           : plot.yAxis;
    QCPGraph *graph =
        sun ? new SunBand(plot.xAxis, valueAxis) : plot.addGraph(plot.xAxis, valueAxis);
    graph->setName(m_name + QLatin1Char(' ') + column);
    const QVector<QCPGraphData> data = ColumnData(file, column);
    const bool sorted = std::is_sorted(data.begin(), data.end(), qcpLessThanSortKey<QCPGraphData>);
    graph->data()->set(data, sorted);
    if (sun) {
        graph->setLayer(plot.sunLayer());
        graph->setBrush(QColor(0xfb, 0xe8, 0xa6));
    } else {
        graph->setPen(QPen(colour));
    }
    if (IsSensorColumn(column) || column == QLatin1String("Temp"))
        plot.setGraphShown(graph, false);
    return graph;
}
