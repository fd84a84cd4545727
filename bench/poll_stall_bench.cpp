// SPDX-License-Identifier: GPL-3.0-or-later
// How long the window's thread stops answering while the main window polls a slow
// instrument: the poll runs as the window runs it (DisplayPoll every 2 s), and a 10 ms
// heartbeat timer on the same thread notes the longest gap between its ticks. The
// instrument is quorvel-sim on a pseudo-terminal that answers every command after
// --latency-ms (900 ms by default: slow, but within the link's 1 s limit).
//
//   poll_stall_bench [SIMULATOR] [--cycles N] [--latency-ms MS]
//
// The targets: no stall longer than 50 ms, readings shown on every tick that reads them,
// and the poll costing at most 0.1 % of a core. The stall is measured over the first
// half of the ticks, the processor time over the second, without the heartbeat's own
// cost.
#include "BenchLink.h"
#include "BenchSupport.h"
#include "display/DisplayPoll.h"

#include "SimulatorProcess.h"
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTimer>

#include <algorithm>
#include <cstdio>

namespace {

constexpr qint64 TargetStallMs = 50;
constexpr double TargetPercentOfCore = 0.1;
constexpr int HeartbeatMs = 10;
constexpr int PollIntervalMs = 2000;

// The window, reduced to what the benchmark counts: the readings shown.
class CountingView : public DisplayView
{
public:
    bool loggerFlag() const override { return false; }
    void showFields(const InstrumentFields &) override {}
    void setLoggerMenuVisible(bool) override {}
    void showReadingCaption(const QString &) override {}
    void showReadings(const QString &total, const QString &, bool) override
    {
        if (!total.isEmpty())
            ++readingsShown;
    }
    void clearReadings() override {}
    void showUnitsChoice(int, bool) override {}
    void showActivity(bool, bool) override {}
    void paintNow() override {}
    void setStatusText(const QString &text) override { status = text; }
    void checkPort(int) override {}

    int readingsShown = 0;
    QString status;
};

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    int cycles = 20;
    int latencyMs = 900;
    QString given;
    for (int i = 0; i < args.size(); ++i) {
        if (args.at(i) == QLatin1String("--cycles") && i + 1 < args.size())
            cycles = std::max(2, args.at(++i).toInt());
        else if (args.at(i) == QLatin1String("--latency-ms") && i + 1 < args.size())
            latencyMs = std::max(0, args.at(++i).toInt());
        else
            given = args.at(i);
    }
    const QString program = SimulatorProcess::find(given);
    if (!QFileInfo(program).isExecutable()) {
        std::fprintf(stderr, "poll_stall_bench: no simulator program found (give its path, or "
                             "set QUORVEL_SIM)\n");
        return 2;
    }
    BenchLink bench("poll_stall_bench", program,
                    {"--model", "ZQ5", "--pace", "--latency-ms", QString::number(latencyMs)});
    if (!bench.started())
        return 2;
    SensorLink &link = bench.link;
    PrintedPrompts prompts;
    CountingView view;
    DisplayPoll poll(link, prompts);
    poll.setView(view);
    poll.choosePort(QStringLiteral("COM 1"));

    QElapsedTimer sinceBeat;
    qint64 longestGap = 0;
    QTimer heartbeat;
    heartbeat.setTimerType(Qt::PreciseTimer);
    QObject::connect(&heartbeat, &QTimer::timeout,
                     [&] { longestGap = std::max(longestGap, sinceBeat.restart()); });
    QTimer ticks;
    int ticksRun = 0;
    QElapsedTimer wall;
    double cpuStart = 0;
    QObject::connect(&ticks, &QTimer::timeout, [&] {
        if (ticksRun == cycles / 2) {
            heartbeat.stop();
            wall.start();
            cpuStart = ProcessorSeconds();
        }
        poll.tick();
        // The last tick's exchanges may take most of an interval: it ends when they have.
        if (++ticksRun == cycles)
            link.whenRequestsIdle([&app] { app.quit(); });
    });
    std::printf("poll_stall_bench: %d ticks every %d ms, instrument answering after %d ms on %s\n",
                cycles, PollIntervalMs, latencyMs, qPrintable(bench.device));
    // The first gap is measured once the loop runs.
    QTimer::singleShot(0, [&] {
        sinceBeat.start();
        heartbeat.start(HeartbeatMs);
        ticks.start(PollIntervalMs);
    });
    app.exec();
    const double cpuPercent =
        100.0 * (ProcessorSeconds() - cpuStart) / (static_cast<double>(wall.elapsed()) / 1000.0);

    const qint64 stall = std::max<qint64>(0, longestGap - HeartbeatMs);
    // Every tenth tick reads the full status instead of the readings.
    const int readingTicks =
        cycles - (cycles + DisplayPoll::StatusEveryTicks - 1) / DisplayPoll::StatusEveryTicks;
    const bool pass = stall <= TargetStallMs && view.readingsShown >= readingTicks &&
                      cpuPercent <= TargetPercentOfCore;
    std::printf(
        "poll_stall_bench: longest stall %lld ms (target <= %lld ms); readings shown "
        "%d of %d reading ticks; processor %.3f %% of a core (target <= %.1f %%); last status "
        "\"%s\": %s\n",
        static_cast<long long>(stall), static_cast<long long>(TargetStallMs), view.readingsShown,
        readingTicks, cpuPercent, TargetPercentOfCore, qPrintable(view.status),
        pass ? "PASS" : "FAIL");
    return pass ? 0 : 1;
}
