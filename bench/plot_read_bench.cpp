// How fast the graphing program reads a year of data, and in how much memory.
//
//   plot_read_bench [--days N] [--keep]
//
// Writes a dataset file of N days (default 365) of 30 s records, 2880 a day (1 051 200
// lines for a year), through the download's own DatasetFile in a temporary folder, then
// reads it with PlotFileReader and works out its daily summary. Prints the seconds of
// each step and the peak resident memory of the whole program. Targets: reading under
// 1 s, and the peak under 300 MB. The exit status is 1 when a target is missed. --keep
// leaves the file behind and prints its path.
#include "common/DateTimeDays.h"
#include "logger/DatasetFile.h"
#include "plot/DailySummary.h"
#include "plot/PlotFileReader.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QLocale>
#include <QTemporaryDir>

#include <cmath>
#include <cstdio>
#include <sys/resource.h>

namespace {

constexpr double TargetReadSeconds = 1.0;
constexpr double TargetPeakMegabytes = 300.0;
constexpr int RecordSeconds = 30;
constexpr int RecordsPerDay = 86400 / RecordSeconds;

double peakResidentMegabytes()
{
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_maxrss) / 1024.0; // kilobytes on Linux
}

// A clear-sky day: the sun up from 06:00 to 18:00, a cloud now and then.
bool writeYear(const QString &path, int days, QString &error)
{
    DatasetFile file;
    const QDateTime start(QDate(2026, 1, 1), QTime(0, 0));
    if (!file.create(path, QStringLiteral("ZQ5 v1.03"), QStringLiteral("1234"), start, error))
        return false;
    file.writeSection(QStringLiteral("Units: W.m-2"));
    const double firstDay = DateTimeToDays(start);
    for (int day = 0; day < days; ++day) {
        for (int i = 0; i < RecordsPerDay; ++i) {
            const double hour = double(i) * RecordSeconds / 3600.0;
            const double height = std::max(0.0, std::sin((hour - 6.0) / 12.0 * M_PI));
            const bool cloud = (i / 40 + day) % 7 == 0;
            DatasetRecord::Values values;
            values.total = float(900.0 * height * (cloud ? 0.3 : 1.0));
            values.diffuse = float(cloud ? values.total : 100.0 * height);
            values.sun = height > 0.1 && !cloud ? 1.0f : 0.0f;
            file.writeRecord(firstDay + day + double(i) * RecordSeconds / 86400.0, values,
                             QStringLiteral("0.0"));
        }
        if (!file.flush(error))
            return false;
    }
    file.close();
    return true;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    // Dates as a British user's program writes them: "01/01/2026 00:00:30".
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedKingdom));
    const QStringList args = QCoreApplication::arguments().mid(1);
    int days = 365;
    const qsizetype daysAt = args.indexOf(QStringLiteral("--days"));
    if (daysAt >= 0 && daysAt + 1 < args.size())
        days = std::max(1, args.at(daysAt + 1).toInt());

    QTemporaryDir dir;
    dir.setAutoRemove(!args.contains(QStringLiteral("--keep")));
    const QString path = dir.filePath(QStringLiteral("year.txt"));
    QElapsedTimer timer;
    timer.start();
    QString error;
    if (!writeYear(path, days, error)) {
        std::fprintf(stderr, "writing failed: %s\n", qPrintable(error));
        return 2;
    }
    std::printf("wrote %lld lines (%.1f MB) in %.2f s: %s\n",
                static_cast<long long>(qint64(days) * RecordsPerDay + 4),
                double(QFileInfo(path).size()) / 1e6, double(timer.elapsed()) / 1000.0,
                qPrintable(path));
    const double peakBefore = peakResidentMegabytes();

    timer.restart();
    const PlotFile file = PlotFileReader::read(path);
    const double readSeconds = double(timer.nsecsElapsed()) / 1e9;
    if (!file.ok() || file.sections.size() != 1 || file.badLineCount != 0) {
        std::fprintf(stderr, "reading failed: %s (%lld bad lines)\n", qPrintable(file.error),
                     static_cast<long long>(file.badLineCount));
        return 2;
    }
    timer.restart();
    const DailySummary summary(file);
    const double summarySeconds = double(timer.nsecsElapsed()) / 1e9;
    const double peak = peakResidentMegabytes();

    std::printf("read %lld records in %.3f s (target %.1f s)\n",
                static_cast<long long>(file.sections[0].size()), readSeconds, TargetReadSeconds);
    std::printf("daily summary of %lld days in %.3f s\n",
                static_cast<long long>(summary.days().size()), summarySeconds);
    std::printf("peak resident memory %.0f MB (%.0f MB before reading; target %.0f MB)\n", peak,
                peakBefore, TargetPeakMegabytes);
    return readSeconds <= TargetReadSeconds && peak <= TargetPeakMegabytes ? 0 : 1;
}
