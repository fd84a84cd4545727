// SPDX-License-Identifier: GPL-3.0-or-later
// How much processor time the sensor link costs while it polls an instrument the way the
// main window does: readings every 2 s, the full status every tenth time, with the
// event loop running in between. The instrument is quorvel-sim on a pseudo-terminal,
// moving bytes at the pace of a 9600-baud line, reached through the real serial port.
//
//   link_cpu_bench [SIMULATOR] [--cycles N] [--interval-ms MS]
//
// SIMULATOR defaults to quorvel-sim next to the build's programs (../quorvel-sim from
// this program's folder), then to $QUORVEL_SIM. A link that waits by spinning uses about
// half a core; one that blocks in the port stays well under 1 %.
#include "BenchLink.h"
#include "BenchSupport.h"
#include "link/SensorLink.h"

#include "SimulatorProcess.h"
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFileInfo>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <time.h>

namespace {

constexpr double TargetPercentOfCore = 1.0;

double processCpuSeconds()
{
    timespec t{};
    ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

struct BenchOptions
{
    QString simulator;
    int cycles = 15;
    int intervalMs = 2000;
    QString error;
};

BenchOptions parseOptions(const QStringList &args)
{
    BenchOptions options;
    QString given;
    for (int i = 0; i < args.size(); ++i) {
        const QString &arg = args.at(i);
        const bool hasValue = i + 1 < args.size();
        bool ok = true;
        if (arg == QLatin1String("--cycles") && hasValue)
            options.cycles = args.at(++i).toInt(&ok);
        else if (arg == QLatin1String("--interval-ms") && hasValue)
            options.intervalMs = args.at(++i).toInt(&ok);
        else if (!arg.startsWith(QLatin1String("--")) && given.isEmpty())
            given = arg;
        else
            options.error = QStringLiteral("unexpected argument ") + arg;
        if (!ok || options.cycles < 1 || options.intervalMs < 100)
            options.error = QStringLiteral("--cycles needs a count from 1, --interval-ms at "
                                           "least 100");
    }
    options.simulator = SimulatorProcess::find(given);
    if (options.error.isEmpty() && !QFileInfo(options.simulator).isExecutable())
        options.error = QStringLiteral("no simulator program found (give its path, or set "
                                       "QUORVEL_SIM)");
    return options;
}

// Lets the event loop run until `deadlineMs` on `wall`, as the main window idles
// between two ticks of its poll timer.
void idleUntil(const QElapsedTimer &wall, qint64 deadlineMs)
{
    const qint64 remaining = deadlineMs - wall.elapsed();
    if (remaining <= 0)
        return;
    QEventLoop loop;
    QTimer::singleShot(static_cast<int>(remaining), &loop, &QEventLoop::quit);
    loop.exec();
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const BenchOptions options = parseOptions(app.arguments().mid(1));
    if (!options.error.isEmpty()) {
        std::fprintf(stderr, "link_cpu_bench: %s\n", qPrintable(options.error));
        return 2;
    }

    BenchLink bench("link_cpu_bench", options.simulator, {"--model", "ZQ5", "--pace"});
    if (!bench.started())
        return 2;
    SensorLink &link = bench.link;
    const QString &device = bench.device;
    link.setCommPort(1);
    if (link.CommPort() != 1) {
        std::fprintf(stderr, "link_cpu_bench: cannot open %s: %s\n", qPrintable(device),
                     qPrintable(link.Status()));
        return 2;
    }
    std::printf("link_cpu_bench: %d cycles every %d ms on %s (9600-baud pacing)\n", options.cycles,
                options.intervalMs, qPrintable(device));

    int failures = 0;
    double exchangeCpuTotal = 0;
    double exchangeCpuMax = 0;
    QElapsedTimer wall;
    wall.start();
    const double cpuStart = processCpuSeconds();
    for (int cycle = 0; cycle < options.cycles; ++cycle) {
        idleUntil(wall, static_cast<qint64>(cycle) * options.intervalMs);
        const bool fullStatus = cycle % 10 == 0;
        const double cpuBefore = processCpuSeconds();
        const qint64 started = wall.elapsed();
        const bool ok = RunRequest(link, [&](SensorLink::Reply done) {
            if (fullStatus)
                link.requestStatus(std::move(done));
            else
                link.requestReadings(std::move(done));
        });
        const double cpu = processCpuSeconds() - cpuBefore;
        exchangeCpuTotal += cpu;
        exchangeCpuMax = std::max(exchangeCpuMax, cpu);
        if (!ok)
            ++failures;
        std::printf("  cycle %2d  %-11s %-6s %4lld ms  cpu %6.2f ms\n", cycle + 1,
                    fullStatus ? "GetStatus" : "GetReadings", ok ? "ok" : "FAILED",
                    static_cast<long long>(wall.elapsed() - started), cpu * 1000.0);
        std::fflush(stdout);
    }
    idleUntil(wall, static_cast<qint64>(options.cycles) * options.intervalMs);

    const double wallSeconds = static_cast<double>(wall.elapsed()) / 1000.0;
    const double cpuSeconds = processCpuSeconds() - cpuStart;
    const double percent = 100.0 * cpuSeconds / wallSeconds;
    const bool withinTarget = percent < TargetPercentOfCore && failures == 0;
    std::printf("link_cpu_bench: %d cycles, %d failed; cpu per exchange %.2f ms (max %.2f ms); "
                "process cpu %.1f ms over %.1f s wall = %.3f%% of one core (target < %.0f%%): "
                "%s\n",
                options.cycles, failures, 1000.0 * exchangeCpuTotal / options.cycles,
                1000.0 * exchangeCpuMax, cpuSeconds * 1000.0, wallSeconds, percent,
                TargetPercentOfCore, withinTarget ? "PASS" : "FAIL");
    return withinTarget ? 0 : 1;
}
