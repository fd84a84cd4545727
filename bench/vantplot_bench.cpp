// SPDX-License-Identifier: GPL-3.0-or-later
// How fast the graphing program opens and redraws a year of data: writes a dataset file
// of one year of 30 s records (1 051 200 lines, with the project's own DatasetFile), opens
// it in Vantplot's window (offscreen) and times the read with the first drawing, then
// zooms and pans the plot and times each redraw.
//
//   vantplot_bench [--days N] [--keep FILE] [--write FILE] [--read FILE]
//
// --days shortens the year, --keep leaves the file written at FILE, --write only writes
// it (for a screenshot), --read opens FILE instead of writing one. Targets: read and drawn
// within 1.5 s, at most 300 MB resident, each zoom and pan redraw within 30 ms.
#include "BenchSupport.h"
#include "platform/FileDialogs.h"
#include "platform/UserPrompts.h"
#include "plot/ui/PlotView.h"
#include "plot/ui/PlotWindow.h"
#include "plot/ui/SeriesGraph.h"
#include "plot/ui/SeriesSet.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <vector>

namespace {

constexpr double TargetOpenSeconds = 1.5;
constexpr double TargetMegabytes = 300;
constexpr double TargetReplotMs = 30;

// The slowest of several redraws after `step` changes the visible range (the range change
// included: the value axes follow it), in time passed and in processor time.
struct Slowest
{
    double ms = 0;
    double processorMs = 0;
};
template <typename Step> Slowest SlowestReplotMs(PlotView &plot, Step step)
{
    Slowest slowest;
    for (int i = 0; i < 8; ++i) {
        QElapsedTimer timer;
        timer.start();
        const double processor = ProcessorSeconds();
        step(i);
        plot.replot();
        slowest.ms = std::max(slowest.ms, double(timer.nsecsElapsed()) / 1e6);
        slowest.processorMs =
            std::max(slowest.processorMs, (ProcessorSeconds() - processor) * 1000.0);
    }
    return slowest;
}

const char *Verdict(bool pass)
{
    return pass ? "PASS" : "FAIL";
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    int days = 365;
    QString keep;
    bool writeOnly = false;
    bool readOnly = false;
    const QStringList args = QApplication::arguments().mid(1);
    for (int i = 0; i < args.size(); ++i) {
        const bool hasValue = i + 1 < args.size();
        if (args.at(i) == QLatin1String("--days") && hasValue) {
            days = std::max(1, args.at(++i).toInt());
        } else if ((args.at(i) == QLatin1String("--keep") ||
                    args.at(i) == QLatin1String("--write")) &&
                   hasValue) {
            writeOnly = args.at(i) == QLatin1String("--write");
            keep = args.at(++i);
        } else if (args.at(i) == QLatin1String("--read") && hasValue) {
            readOnly = true;
            keep = args.at(++i);
        } else {
            std::fprintf(stderr, "usage: vantplot_bench [--days N] [--keep FILE] [--write FILE] "
                                 "[--read FILE]\n");
            return 2;
        }
    }
    QTemporaryDir folder;
    const QString path = keep.isEmpty() ? folder.filePath(QStringLiteral("year.txt")) : keep;
    QString error;
    QElapsedTimer timer;
    timer.start();
    if (readOnly) {
        std::printf("vantplot_bench: reading %s\n", qPrintable(path));
    } else if (!WriteBenchDataset(path, days, error)) {
        std::fprintf(stderr, "vantplot_bench: %s\n", qPrintable(error));
        return 1;
    } else {
        std::printf("vantplot_bench: wrote %s (%d days of %d s records, %.0f MB) in %.1f s\n",
                    qPrintable(path), days, BenchRecordSeconds, double(QFile(path).size()) / 1e6,
                    double(timer.elapsed()) / 1000.0);
    }
    if (writeOnly)
        return 0;

    PrintedPrompts prompts;
    NoFileDialogs dialogs;
    PlotWindow window(prompts, dialogs);
    window.show();
    QApplication::processEvents();
    timer.restart();
    const double processorBefore = ProcessorSeconds();
    window.openFiles({path});
    const double openSeconds = double(timer.nsecsElapsed()) / 1e9;
    const double openProcessorSeconds = ProcessorSeconds() - processorBefore;
    const double megabytes = PeakResidentMegabytes();
    if (window.seriesSets().size() != 1 || window.plot()->graphCount() == 0) {
        std::printf("vantplot_bench: the file was not shown: FAIL\n");
        return 1;
    }
    const auto *first = qobject_cast<const SeriesGraph *>(window.plot()->graph(0));
    const qsizetype points = first ? first->recordCount() : 0;
    PlotView &plot = *window.plot();
    const Slowest zoom = SlowestReplotMs(plot, [&plot](int) { plot.xAxis->scaleRange(0.7); });
    const Slowest pan = SlowestReplotMs(plot, [&plot](int i) {
        plot.xAxis->moveRange((i % 2 == 0 ? 0.2 : -0.1) * plot.xAxis->range().size());
    });
    window.fitAll();
    const Slowest fullPan = SlowestReplotMs(plot, [&plot](int i) {
        plot.xAxis->moveRange((i % 2 == 0 ? 0.05 : -0.05) * plot.xAxis->range().size());
    });

    const bool openOk = openSeconds <= TargetOpenSeconds;
    const bool memoryOk = megabytes > 0 && megabytes <= TargetMegabytes;
    const double zoomMs = zoom.ms;
    const double panMs = pan.ms;
    const double fullPanMs = fullPan.ms;
    const bool zoomOk = zoomMs <= TargetReplotMs;
    const bool panOk = std::max(panMs, fullPanMs) <= TargetReplotMs;
    std::printf("vantplot_bench: read and first drawing of %lld records a graph: %.3f s, %.3f s "
                "of processor time (target <= %.1f s): %s\n",
                static_cast<long long>(points), openSeconds, openProcessorSeconds,
                TargetOpenSeconds, Verdict(openOk));
    std::printf("vantplot_bench: peak resident memory (VmHWM): %.0f MB (target <= %.0f MB): %s\n",
                megabytes, TargetMegabytes, Verdict(memoryOk));
    std::printf("vantplot_bench: slowest zoom redraw: %.1f ms, %.1f ms of processor time (target "
                "<= %.0f ms): %s\n",
                zoomMs, zoom.processorMs, TargetReplotMs, Verdict(zoomOk));
    std::printf("vantplot_bench: slowest pan redraw: %.1f ms zoomed in, %.1f ms over the whole "
                "year; %.1f and %.1f ms of processor time (target <= %.0f ms): %s\n",
                panMs, fullPanMs, pan.processorMs, fullPan.processorMs, TargetReplotMs,
                Verdict(panOk));
    return openOk && memoryOk && zoomOk && panOk ? 0 : 1;
}
