// SPDX-License-Identifier: GPL-3.0-or-later
// What following a growing file costs: writes a day of 30 s records (with the project's
// own DatasetFile), opens it in Vantplot's window (offscreen) with Follow on, then adds a
// record a second for a while, as a running log does, and measures the processor time the
// whole process used (the writing included) against the time that passed. Checks that
// every line written was read, once.
//
//   vantplot_follow_bench [--seconds N] [--days N]
//
// Target: under 1 % of a core.
#include "BenchSupport.h"
#include "platform/FileDialogs.h"
#include "plot/ui/PlotView.h"
#include "plot/ui/PlotWindow.h"
#include "plot/ui/SeriesGraph.h"
#include "plot/ui/SeriesSet.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>

namespace {

constexpr double TargetCorePercent = 1.0;

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    int seconds = 30;
    int days = 1;
    const QStringList args = QApplication::arguments().mid(1);
    for (int i = 0; i < args.size(); ++i) {
        if (args.at(i) == QLatin1String("--seconds") && i + 1 < args.size()) {
            seconds = std::max(1, args.at(++i).toInt());
        } else if (args.at(i) == QLatin1String("--days") && i + 1 < args.size()) {
            days = std::max(1, args.at(++i).toInt());
        } else {
            std::fprintf(stderr, "usage: vantplot_follow_bench [--seconds N] [--days N]\n");
            return 2;
        }
    }
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("log.txt"));
    QString error;
    if (!WriteBenchDataset(path, days, error)) {
        std::fprintf(stderr, "vantplot_follow_bench: %s\n", qPrintable(error));
        return 1;
    }
    PrintedPrompts prompts;
    NoFileDialogs dialogs;
    PlotWindow window(prompts, dialogs);
    window.show();
    window.openFiles({path});
    window.setFollowing(true);
    const auto *total =
        qobject_cast<SeriesGraph *>(window.seriesSets().front()->graph(QStringLiteral("Total")));
    if (!total)
        return 1;
    const qsizetype pointsBefore = total->recordCount();

    // A record a second after the last one, written as the download's file does.
    const QDateTime start(QDate(2025, 1, 1), QTime(0, 0));
    const qint64 firstSecond = qint64(days) * 86400;
    int written = 0;
    QTimer writer;
    writer.setInterval(1000);
    QObject::connect(&writer, &QTimer::timeout, [&] {
        DatasetFile file;
        QString writeError;
        if (!file.reopen(path, writeError)) {
            std::fprintf(stderr, "vantplot_follow_bench: %s\n", qPrintable(writeError));
            QApplication::exit(1);
            return;
        }
        const qint64 second = firstSecond + qint64(written) * BenchRecordSeconds;
        file.writeRecord(DateTimeToDays(start.addSecs(second)), BenchWeather(second),
                         QStringLiteral("0.0"));
        file.flush(writeError);
        file.close();
        if (++written == seconds)
            QTimer::singleShot(900, &app, [] { QApplication::exit(0); });
    });
    QApplication::processEvents();
    const double processorBefore = ProcessorSeconds();
    QElapsedTimer wall;
    wall.start();
    writer.start();
    if (QApplication::exec() != 0)
        return 1;
    const double percent =
        100.0 * (ProcessorSeconds() - processorBefore) / (double(wall.elapsed()) / 1000.0);
    const qsizetype added = total->recordCount() - pointsBefore;
    const bool allRead = added == written;
    const bool cheap = percent < TargetCorePercent;
    std::printf("vantplot_follow_bench: %d lines written a second apart, %lld read: %s\n", written,
                static_cast<long long>(added), allRead ? "PASS" : "FAIL");
    std::printf("vantplot_follow_bench: following a file of %d day(s) growing by a line a "
                "second: %.2f %% of a core (target < %.0f %%): %s\n",
                days, percent, TargetCorePercent, cheap ? "PASS" : "FAIL");
    return allRead && cheap ? 0 : 1;
}
