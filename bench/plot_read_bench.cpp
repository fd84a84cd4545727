// SPDX-License-Identifier: GPL-3.0-or-later
// How fast the graphing program reads a year of data, and in how much memory.
//
//   plot_read_bench [--days N] [--keep]
//   plot_read_bench --file PATH [--seconds S] [--megabytes M]
//
// Writes a dataset file of N days (default 365) of 30 s records, 2880 a day (1 051 200
// lines for a year), through the download's own DatasetFile in a temporary folder, then
// reads it with PlotFileReader and works out its daily summary. Prints the seconds of
// each step and the peak resident memory of the whole program. Targets: reading under
// 1 s, and the peak under 300 MB. The exit status is 1 when a target is missed. --keep
// leaves the file behind and prints its path. --file reads a file made elsewhere (such as
// a 28 million line one) with the targets given. The processor seconds of the reading are
// printed too, as the wall-clock time of a busy machine says little.
#include "BenchSupport.h"
#include "plot/DailySummary.h"
#include "plot/PlotFileReader.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QLocale>
#include <QTemporaryDir>

#include <cmath>
#include <cstdio>

namespace {

constexpr double TargetReadSeconds = 1.0;
constexpr double TargetPeakMegabytes = 300.0;

// The number after an option, or `otherwise`.
double Option(const QStringList &args, const QString &name, double otherwise)
{
    const qsizetype at = args.indexOf(name);
    return at >= 0 && at + 1 < args.size() ? args.at(at + 1).toDouble() : otherwise;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    // Dates as a British user's program writes them: "01/01/2025 00:00:30".
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedKingdom));
    const QStringList args = QCoreApplication::arguments().mid(1);
    const int days = std::max(1, int(Option(args, QStringLiteral("--days"), 365)));
    const double targetSeconds = Option(args, QStringLiteral("--seconds"), TargetReadSeconds);
    const double targetMegabytes = Option(args, QStringLiteral("--megabytes"), TargetPeakMegabytes);

    QTemporaryDir dir;
    dir.setAutoRemove(!args.contains(QStringLiteral("--keep")));
    const qsizetype fileAt = args.indexOf(QStringLiteral("--file"));
    QString path = dir.filePath(QStringLiteral("year.txt"));
    QElapsedTimer timer;
    timer.start();
    if (fileAt >= 0 && fileAt + 1 < args.size()) {
        path = args.at(fileAt + 1);
    } else {
        QString error;
        if (!WriteBenchDataset(path, days, error)) {
            std::fprintf(stderr, "writing failed: %s\n", qPrintable(error));
            return 2;
        }
        std::printf("wrote %lld lines (%.1f MB) in %.2f s: %s\n",
                    static_cast<long long>(qint64(days) * 86400 / BenchRecordSeconds + 4),
                    double(QFileInfo(path).size()) / 1e6, double(timer.elapsed()) / 1000.0,
                    qPrintable(path));
    }
    const double peakBefore = PeakResidentMegabytes();

    timer.restart();
    const double processorBefore = ProcessorSeconds();
    const PlotFile file = PlotFileReader::read(path);
    const double readSeconds = double(timer.nsecsElapsed()) / 1e9;
    const double readProcessorSeconds = ProcessorSeconds() - processorBefore;
    if (!file.ok() || file.sections.size() != 1 || file.badLineCount != 0) {
        std::fprintf(stderr, "reading failed: %s (%lld bad lines)\n", qPrintable(file.error),
                     static_cast<long long>(file.badLineCount));
        return 2;
    }
    timer.restart();
    const DailySummary summary(file);
    const double summarySeconds = double(timer.nsecsElapsed()) / 1e9;
    const double peak = PeakResidentMegabytes();

    std::printf("read %lld records (%.1f MB) in %.3f s, %.3f s of processor (target %.1f s)\n",
                static_cast<long long>(file.sections[0].size()),
                double(QFileInfo(path).size()) / 1e6, readSeconds, readProcessorSeconds,
                targetSeconds);
    std::printf("daily summary of %lld days in %.3f s\n",
                static_cast<long long>(summary.days().size()), summarySeconds);
    std::printf("peak resident memory %.0f MB (%.0f MB before reading; target %.0f MB)\n", peak,
                peakBefore, targetMegabytes);
    return readSeconds <= targetSeconds && peak <= targetMegabytes ? 0 : 1;
}
