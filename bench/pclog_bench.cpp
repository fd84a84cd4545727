// SPDX-License-Identifier: GPL-3.0-or-later
// How much processor time PC logging costs, and how close to its time each reading is
// taken: the Vantlog window (offscreen) logs every second with individual sensors and
// a log file, against quorvel-sim on a pseudo-terminal at 9600-baud pace, through the
// real serial port.
//
//   pclog_bench [SIMULATOR] [--seconds N] [--avg PERIOD]
//
// SIMULATOR defaults to quorvel-sim next to the build's programs (../quorvel-sim from
// this program's folder), then to $QUORVEL_SIM. Targets: under 2 % of one core, and
// every reading taken within one timer interval (0.5 s) after its scheduled time.
#include "BenchSupport.h"
#include "link/SensorLink.h"
#include "pclog/ui/frmPCLog.h"
#include "platform/FileDialogs.h"
#include "platform/PortTable.h"
#include "platform/QtSerialPort.h"
#include "platform/SystemClock.h"
#include "platform/UserPrompts.h"

#include "SimulatorProcess.h"
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFileInfo>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <time.h>
#include <vector>

namespace {

constexpr double TargetPercentOfCore = 2.0;
constexpr double TimerIntervalSeconds = 0.5; // the window's timer for a 1 s log period

double processCpuSeconds()
{
    timespec t{};
    ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

struct BenchOptions
{
    QString simulator;
    int seconds = 60;
    QString avgPeriod = QStringLiteral("1s");
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
        if (arg == QLatin1String("--seconds") && hasValue)
            options.seconds = args.at(++i).toInt(&ok);
        else if (arg == QLatin1String("--avg") && hasValue)
            options.avgPeriod = args.at(++i);
        else if (!arg.startsWith(QLatin1String("--")) && given.isEmpty())
            given = arg;
        else
            options.error = QStringLiteral("unexpected argument ") + arg;
        if (!ok || options.seconds < 5)
            options.error = QStringLiteral("--seconds needs at least 5");
    }
    options.simulator = SimulatorProcess::find(given);
    if (options.error.isEmpty() && !QFileInfo(options.simulator).isExecutable())
        options.error = QStringLiteral("no simulator program found (give its path, or set "
                                       "QUORVEL_SIM)");
    return options;
}

// The real port, noting when each reading ("S") leaves for the instrument.
class TimedPort : public SerialPort
{
public:
    TimedPort(SerialPort &port, std::function<void()> onReading)
        : m_port(port), m_onReading(std::move(onReading))
    {
        // The link's queue reads when the port says bytes have come.
        m_port.setReadyReadHandler([this] { notifyReadyRead(); });
        m_port.setLostHandler([this] { notifyLost(); });
    }

    bool setPortNumber(int number) override { return m_port.setPortNumber(number); }
    int portNumber() const override { return m_port.portNumber(); }
    bool open() override { return m_port.open(); }
    void close() override { m_port.close(); }
    bool isOpen() const override { return m_port.isOpen(); }
    void setDtr(bool on) override { m_port.setDtr(on); }
    bool dtr() const override { return m_port.dtr(); }
    void setRts(bool on) override { m_port.setRts(on); }
    int bytesWaiting() override { return m_port.bytesWaiting(); }
    QByteArray read(int maxBytes) override { return m_port.read(maxBytes); }
    bool write(const QByteArray &bytes) override
    {
        if (bytes == "S" && m_onReading)
            m_onReading();
        return m_port.write(bytes);
    }
    void holdReadyRead(bool held) override
    {
        SerialPort::holdReadyRead(held);
        m_port.holdReadyRead(held);
    }
    int errorNumber() const override { return m_port.errorNumber(); }
    QString errorDescription() const override { return m_port.errorDescription(); }
    void clearError() override { m_port.clearError(); }

private:
    SerialPort &m_port;
    std::function<void()> m_onReading;
};

class FixedFileDialog : public FileDialogs
{
public:
    explicit FixedFileDialog(QString path) : m_path(std::move(path)) {}
    SaveChoice askSaveFile(const QString &, const QString &, const QString &, const QString &,
                           const QString &) override
    {
        return {m_path, {}};
    }

private:
    QString m_path;
};

double median(std::vector<double> values)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    const size_t middle = values.size() / 2;
    return values.size() % 2 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const BenchOptions options = parseOptions(app.arguments().mid(1));
    if (!options.error.isEmpty()) {
        std::fprintf(stderr, "pclog_bench: %s\n", qPrintable(options.error));
        return 2;
    }

    SimulatorProcess simulator;
    const QString device = simulator.start(options.simulator, {"--model", "ZQ5", "--pace"});
    if (device.isEmpty()) {
        std::fprintf(stderr, "pclog_bench: %s did not start\n", qPrintable(options.simulator));
        return 2;
    }
    QTemporaryDir folder;
    PortTable table(PortTable::Numbering::DeviceList);
    table.addDevice(device);
    QtSerialPort realPort(table);
    SystemClock clock;
    PrintedPrompts prompts(true); // every question answered yes
    FixedFileDialog dialog(folder.filePath(QStringLiteral("bench.txt")));

    // The window is built after the port, so the port asks it for the reading's slot.
    frmPCLog *window = nullptr;
    std::vector<double> lateness;
    TimedPort port(realPort, [&] {
        if (!window || !window->run().IsLogging())
            return;
        // The reading's time in ms since the epoch.
        const qint64 due = window->run().Schedule().NextLogTime;
        lateness.push_back(static_cast<double>(clock.now().toMSecsSinceEpoch() - due) / 1000.0);
    });
    SensorLink link(port, clock);
    link.setCommPort(1);
    if (link.CommPort() != 1 ||
        !RunRequest(link, [&](SensorLink::Reply done) { link.requestStatus(std::move(done)); })) {
        std::fprintf(stderr, "pclog_bench: no instrument on %s: %s\n", qPrintable(device),
                     qPrintable(link.Status()));
        return 2;
    }
    frmPCLog pcLog(link, clock, prompts, dialog, frmPCLog::Host{});
    window = &pcLog;
    pcLog.show();
    pcLog.cboLog->setCurrentText(QStringLiteral("1s"));
    pcLog.cboAvg->setCurrentText(options.avgPeriod);
    pcLog.chkIndividual->setChecked(true);
    pcLog.chkFile->setChecked(true);
    std::printf("pclog_bench: log 1s, avg %s, individual sensors and file, %d s on %s "
                "(9600-baud pacing)\n",
                qPrintable(options.avgPeriod), options.seconds, qPrintable(device));
    std::fflush(stdout);

    QElapsedTimer wall;
    wall.start();
    const double cpuStart = processCpuSeconds();
    pcLog.cmdLog->click();
    // With individual sensors the run starts once the calibration has come.
    if (!link.requestsIdle()) {
        QEventLoop starting;
        link.whenRequestsIdle([&starting] { starting.quit(); });
        starting.exec();
    }
    if (!pcLog.run().IsLogging()) {
        std::fprintf(stderr, "pclog_bench: logging did not start: %s\n",
                     qPrintable(pcLog.panel2Text() + QStringLiteral(" (") + pcLog.panel1Text() +
                                QStringLiteral(")")));
        return 2;
    }
    QTimer::singleShot(options.seconds * 1000, &app, [&] {
        pcLog.cmdLog->click();
        app.quit();
    });
    app.exec();
    const double cpuSeconds = processCpuSeconds() - cpuStart;
    const double wallSeconds = static_cast<double>(wall.elapsed()) / 1000.0;

    const double percent = 100.0 * cpuSeconds / wallSeconds;
    const double worst = lateness.empty() ? 0 : *std::max_element(lateness.begin(), lateness.end());
    const double earliest =
        lateness.empty() ? 0 : *std::min_element(lateness.begin(), lateness.end());
    const int lines = static_cast<int>(pcLog.outputText().count(QStringLiteral("\r\n"))) - 1;
    const size_t expected = static_cast<size_t>(options.seconds) - 1;
    const bool withinCpu = percent < TargetPercentOfCore;
    const bool onTime = earliest >= -0.5 && worst <= TimerIntervalSeconds;
    const bool complete = lateness.size() >= expected && prompts.shown == 0;
    std::printf("pclog_bench: %zu readings (%d lines); lateness median %.3f s, worst %.3f s, "
                "earliest %.3f s (target -0.5 .. %.1f s): %s\n",
                lateness.size(), lines, median(lateness), worst, earliest, TimerIntervalSeconds,
                onTime ? "PASS" : "FAIL");
    std::printf("pclog_bench: process cpu %.1f ms over %.1f s wall = %.3f%% of one core "
                "(target < %.0f%%): %s\n",
                cpuSeconds * 1000.0, wallSeconds, percent, TargetPercentOfCore,
                withinCpu ? "PASS" : "FAIL");
    if (!complete)
        std::printf("pclog_bench: expected at least %zu readings and no message box: FAIL\n",
                    expected);
    return withinCpu && onTime && complete ? 0 : 1;
}
