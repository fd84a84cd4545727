// SPDX-License-Identifier: GPL-3.0-or-later
// How quickly the main window shows its first readings on the built-in simulator, and
// how much processor time the idle window then spends polling it.
//
//   startup_bench [--seconds N] [--model MODEL]
//
// Runs the program's own start-up in this process, as "quorvel --demo" does: the
// simulator on a pseudo-terminal in a thread of its own, listed first among the serial
// ports, the real serial port, clock and event loop, and the main window (on the
// offscreen platform unless QT_QPA_PLATFORM says otherwise). Measures
//   1. the time from the window appearing (and from this program's start) to the first
//      readings on screen; target: within 3 s of the window appearing;
//   2. the processor time of the window's thread while the window polls for N seconds
//      (default 60); target: under 1 % of a core. The simulator's own thread is shown
//      beside it, for information.
// Prints one line per figure; the exit status is 1 when a target is missed.
#include "BenchSupport.h"
#include "DemoSimulator.h"
#include "app/frmDisplay.h"
#include "platform/PortTable.h"
#include "platform/QtSerialPort.h"
#include "platform/SystemClock.h"
#include "platform/UserPrompts.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QLabel>
#include <QTimer>

#include <cstdio>
#include <optional>
#include <time.h>

namespace {

constexpr double FirstReadingsTargetSeconds = 3.0;
constexpr double PollTargetPercentOfCore = 1.0;
constexpr int GiveUpSeconds = 30;

double cpuSeconds(clockid_t clock)
{
    timespec t{};
    ::clock_gettime(clock, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

// Message boxes would stop the measurement: write them out instead.
// Notes when a widget is first shown.
class ShowWatch : public QObject
{
public:
    explicit ShowWatch(const QElapsedTimer &since) : m_since(since) {}
    std::optional<double> shownAt;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Show && !shownAt)
            shownAt = m_since.nsecsElapsed() / 1e9;
        return QObject::eventFilter(watched, event);
    }

private:
    const QElapsedTimer &m_since;
};

struct BenchOptions
{
    int seconds = 60;
    QString model = QStringLiteral("ZQ5");
    QString error;
};

BenchOptions parseOptions(const QStringList &args)
{
    BenchOptions options;
    for (int i = 0; i < args.size(); ++i) {
        const bool hasValue = i + 1 < args.size();
        bool ok = true;
        if (args.at(i) == QLatin1String("--seconds") && hasValue)
            options.seconds = args.at(++i).toInt(&ok);
        else if (args.at(i) == QLatin1String("--model") && hasValue)
            options.model = args.at(++i);
        else
            options.error = QStringLiteral("unexpected argument ") + args.at(i);
        if (!ok || options.seconds < 1)
            options.error = QStringLiteral("--seconds needs a whole number from 1");
    }
    return options;
}

} // namespace

int main(int argc, char **argv)
{
    QElapsedTimer sinceStart;
    sinceStart.start();
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");

    QApplication app(argc, argv);
    const BenchOptions options = parseOptions(QApplication::arguments().mid(1));
    const auto model = modelFromName(options.model);
    if (!options.error.isEmpty() || !model) {
        std::fprintf(
            stderr, "startup_bench: %s\nusage: startup_bench [--seconds N] [--model MODEL]\n",
            qPrintable(options.error.isEmpty() ? QStringLiteral("unknown model") : options.error));
        return 2;
    }

    DemoSimulator simulator(DemoSimulator::demoOptions(*model));
    if (simulator.devicePath().isEmpty()) {
        std::fprintf(stderr, "startup_bench: no simulator: %s\n",
                     qPrintable(simulator.errorString()));
        return 2;
    }
    PortTable table;
    table.addDevice(simulator.devicePath(), QStringLiteral("built-in simulator"));
    table.addSystemPorts(PortTable::systemPorts());

    QtSerialPort port(table);
    SystemClock clock;
    PrintedPrompts prompts;
    frmDisplay window(port, clock, prompts, &table);
    ShowWatch watch(sinceStart);
    window.installEventFilter(&watch);

    // Figure 1: start-up to first readings, looked for every 10 ms.
    std::optional<double> readingsAt;
    QTimer look;
    look.setInterval(10);
    QObject::connect(&look, &QTimer::timeout, [&] {
        if (!window.controls().lblTotal->text().isEmpty()) {
            readingsAt = sinceStart.nsecsElapsed() / 1e9;
            look.stop();
            QApplication::exit(0);
        }
    });
    QTimer::singleShot(GiveUpSeconds * 1000, [] { QApplication::exit(1); });
    look.start();
    window.startUp(QString());
    QApplication::exec();
    look.stop();

    bool passed = true;
    if (!readingsAt || !watch.shownAt) {
        std::printf("first readings: none within %d s (status: %s)\n", GiveUpSeconds,
                    qPrintable(window.statusBarText()));
        return 1;
    }
    const double afterShown = *readingsAt - *watch.shownAt;
    const bool fastEnough = afterShown <= FirstReadingsTargetSeconds;
    passed = passed && fastEnough;
    std::printf("first readings: %.2f s after the window appeared (%.2f s after program start); "
                "target %.0f s: %s\n",
                afterShown, *readingsAt, FirstReadingsTargetSeconds, fastEnough ? "ok" : "MISSED");
    std::fflush(stdout);

    // Figure 2: the idle window polling for the given time.
    const double threadBefore = cpuSeconds(CLOCK_THREAD_CPUTIME_ID);
    const double processBefore = cpuSeconds(CLOCK_PROCESS_CPUTIME_ID);
    QElapsedTimer wall;
    wall.start();
    QTimer::singleShot(options.seconds * 1000, [] { QApplication::exit(0); });
    QApplication::exec();
    const double elapsed = wall.nsecsElapsed() / 1e9;
    const double windowPercent =
        100.0 * (cpuSeconds(CLOCK_THREAD_CPUTIME_ID) - threadBefore) / elapsed;
    const double processPercent =
        100.0 * (cpuSeconds(CLOCK_PROCESS_CPUTIME_ID) - processBefore) / elapsed;
    const bool lightEnough = windowPercent < PollTargetPercentOfCore;
    passed = passed && lightEnough;
    std::printf("idle polling: %.2f %% of a core over %.0f s in the window's thread (%.2f %% "
                "with the simulator), readings %s; target under %.0f %%: %s\n",
                windowPercent, elapsed, processPercent,
                qPrintable(window.controls().lblTotal->text()), PollTargetPercentOfCore,
                lightEnough ? "ok" : "MISSED");
    return passed ? 0 : 1;
}
