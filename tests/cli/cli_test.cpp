// SPDX-License-Identifier: GPL-3.0-or-later
// quorvel-cli: the command line checked before any port is touched, and the commands run
// against the simulator on a pseudo-terminal through the real serial port code.
#include "../platform/PseudoTerminal.h"
#include "../support/LocaleGuard.h"
#include "SettledLink.h"
#include "cli/CliOptions.h"
#include "cli/ExitCode.h"
#include "cli/InstrumentCommands.h"
#include "cli/InstrumentSession.h"
#include "cli/InterruptWatch.h"
#include "cli/LogCommand.h"
#include "cli/LoggerCommands.h"
#include "link/LinkTrace.h"
#include "link/SensorLink.h"
#include "logger/DatasetDownload.h"
#include "logger/LoggerDetailsReader.h"
#include "logger/LoggerPackets.h"
#include "platform/PortLock.h"

#include "DemoSimulator.h"
#include "Instrument.h"
#include "SimulatedLine.h"
#include "VirtualLinkEvents.h"
#include "platform/FakeSerialPort.h"
#include "platform/VirtualClock.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>
#include <QTimer>

#include <gtest/gtest.h>

#include <cctype>
#include <chrono>
#include <csignal>
#include <functional>
#include <optional>
#include <thread>

namespace {

struct CliRun
{
    int code;
    QString out;
    QString err;
};

// The computer's clock but for the date and time: they start at `start` and stand still,
// or run on with the monotonic seconds.
class SetClock : public SystemClock
{
public:
    SetClock(const QDateTime &start, bool runs)
        : m_start(start), m_from(monotonicSeconds()), m_runs(runs)
    {}
    QDateTime now() const override
    {
        return m_runs ? m_start.addMSecs(qint64((monotonicSeconds() - m_from) * 1000)) : m_start;
    }

private:
    QDateTime m_start;
    double m_from;
    bool m_runs;
};

CliRun runCli(const QStringList &args, Clock *clock = nullptr)
{
    const CliParseResult parsed = ParseCliArguments(args);
    EXPECT_EQ(parsed.error, QString()) << args.join(' ').toStdString();
    QString out, err;
    QTextStream outStream(&out), errStream(&err);
    Console console{outStream, errStream};
    InterruptWatch interrupts;
    const int code = RunCliCommand(parsed.options, console, interrupts, clock);
    return {code, out, err};
}

QString cliProgram()
{
    return QCoreApplication::applicationDirPath() + QStringLiteral("/../quorvel-cli");
}

QStringList fileLines(const QString &path)
{
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << path.toStdString();
    const QString text = QString::fromUtf8(file.readAll());
    EXPECT_TRUE(text.endsWith(QLatin1String("\r\n"))) << "torn last line";
    return text.split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
}

QByteArray fileBytes(const QString &path)
{
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << path.toStdString();
    return file.readAll();
}

} // namespace

TEST(CliArguments, EachFaultIsNamedBeforeAnythingIsDone)
{
    const struct
    {
        QStringList args;
        QString error; // empty: accepted
    } cases[] = {
        {{}, "no command given"},
        {{"--help"}, ""},
        {{"--version"}, ""},
        {{"frob"}, "unknown command \"frob\""},
        {{"status", "--bogus"}, "unknown option \"--bogus\""},
        {{"status", "--probe"}, "option --probe does not belong to the command status"},
        {{"status", "--json=1"}, "option --json takes no value"},
        {{"status", "--device"}, "option --device needs a value"},
        {{"status", "--port", "0"}, "bad port number \"0\""},
        {{"status", "--port", "2", "--demo"}, "give only one of --device, --port and --demo"},
        {{"status", "--demo=ZQ9"}, "unknown model \"ZQ9\""},
        {{"status", "extra"}, "unexpected argument \"extra\""},
        {{"units"}, "units needs energy, molar or illuminance"},
        {{"units", "energy", "--json"}, "option --json does not belong to the command units"},
        {{"log", "--json"}, "option --json does not belong to the command log"},
        {{"logger", "stop", "--json"}, "option --json does not belong to the command logger stop"},
        {{"units", "kelvin"}, "bad units \"kelvin\" (energy, molar or illuminance)"},
        {{"units", "illuminance", "--demo=VTA1", "-q"}, ""},
        {{"read", "--watch", "0"}, "bad watch period \"0\""},
        {{"read", "--watch", "5", "--device", "/dev/ttyUSB0"}, ""},
        {{"log", "--log-period", "7x"}, "bad log period \"7x\" (1s, 2s, 5s, 10s, 30s, 1m"},
        {{"log", "--log-period", "10m", "--avg-period", "10s"},
         "bad averaging period \"10s\" for a log period of 10m (10m, 30m, 60m)"},
        {{"log", "--log-period", "10s", "--avg-period=10m", "--duration", "1h"}, ""},
        {{"log", "--duration", "1x"}, "bad duration \"1x\""},
        {{"log", "--duration", "-5s"}, "bad duration \"-5s\""},
        {{"log", "--append"}, "--append needs --output FILE"},
        {{"logger"}, "logger needs info, set-clock, start, stop or download"},
        {{"logger", "reset"}, "unknown logger command \"reset\""},
        {{"logger", "set-clock", "--time", "7pm"}, "bad time \"7pm\" (ISO 8601"},
        {{"logger", "start", "--at", "2026-12-07T08:00:00", "--reading-period", "1h"}, ""},
        {{"logger", "start", "--reading-period", "1h", "--avg-period", "10m"},
         "bad averaging period \"10m\" for a reading period of 1h (1h, 3h, 6h, 12h, 24h)"},
        {{"logger", "start", "--reading-period", "7s"}, "bad reading period \"7s\""},
        {{"logger", "download", "--from", "new"}, "logger download needs --output FILE"},
        {{"logger", "download", "--from", "old", "--output", "x"}, "bad --from \"old\""},
        {{"logger", "download", "--from", "new", "--output", "x", "--retry-wait", "-1s"},
         "bad --retry-wait \"-1s\""},
        {{"log", "--mqtt", "mqtt://h/x"}, "--mqtt needs --output FILE"},
        {{"log", "--output", "f", "--mqtt-user", "u"}, "the --mqtt-... options need --mqtt URL"},
        {{"log", "--output", "f", "--mqtt", "ftp://h"}, "bad broker URL \"ftp://h\""},
        {{"log", "--output", "f", "--mqtt", "mqtt://h", "--mqtt-ca", "c"},
         "--mqtt-ca needs an mqtts:// URL"},
        {{"log", "--output", "f", "--mqtt", "mqtt://h", "--mqtt-password-file", "p"},
         "--mqtt-password-file needs --mqtt-user"},
        {{"log", "--output", "f", "--mqtt", "mqtt://h", "--mqtt-user="},
         "option --mqtt-user needs"},
        {{"logger", "info", "--mqtt", "mqtt://h"}, "--mqtt belongs to log and logger download"},
        {{"status", "--mqtt", "mqtt://h"}, "option --mqtt does not belong to the command status"},
        {{"logger", "download", "--output", "x", "--mqtt", "mqtts://h/x", "--mqtt-ca", "c",
          "--mqtt-user", "u", "--mqtt-password-file", "p", "--mqtt-client-id", "i"},
         ""},
        // Options a command does not use are refused, not ignored.
        {{"logger", "stop", "--from", "all"},
         "option --from does not belong to the command logger stop"},
        {{"logger", "info", "--force"},
         "option --force does not belong to the command logger info"},
        {{"logger", "start", "--if-drift", "5"},
         "option --if-drift does not belong to the command logger start"},
        {{"logger", "set-clock", "--iso-times"}, "option --iso-times does not belong"},
        {{"logger", "download", "--json", "--output", "x"}, "option --json does not belong"},
        {{"logger", "download", "--output", "x", "--retry-wait", "5s"},
         "option --retry-wait needs --retry"},
        {{"ports", "--wait-busy", "5"}, "option --wait-busy does not belong to the command ports"},
        {{"ports", "--wait-for-device"}, "option --wait-for-device does not belong"},
        {{"read", "--iso-times"}, "option --iso-times does not belong to the command read"},
        {{"status", "--battery-min", "1500"}, "option --battery-min needs --check"},
        {{"status", "--expect-logging"}, "option --expect-logging needs --check"},
        {{"status", "--check", "--battery-min", "lots"}, "bad --battery-min \"lots\""},
        {{"status", "--check", "--battery-min", "-1"}, "bad --battery-min"},
        {{"status", "--check", "--max-memory", "101"}, "bad --max-memory \"101\""},
        {{"status", "--check", "--max-memory", "-0.5"}, "bad --max-memory"},
        {{"status", "--check", "--max-drift", "x"}, "bad --max-drift \"x\""},
        {{"status", "--wait-busy", "0"}, "bad --wait-busy \"0\""},
        {{"status", "--wait-for-device=0"}, "bad --wait-for-device \"0\""},
        {{"logger", "set-clock", "--if-drift", "-3"}, "bad --if-drift"},
        {{"status", "--check", "--battery-min", "1700", "--max-drift", "1m", "--max-memory", "80.5",
          "--expect-logging", "--json", "--wait-busy", "30s"},
         ""},
        {{"logger", "set-clock", "--if-drift", "30", "--force", "--wait-for-device"}, ""},
        {{"logger", "start", "--force", "--reading-period", "3600", "--avg-period", "3h"}, ""},
        {{"logger", "download", "--output", "x", "--iso-times", "--retry", "2", "--retry-wait",
          "1s", "--wait-for-device", "5m"},
         ""},
        {{"log", "--log-period", "3600s", "--iso-times"}, ""},
        {{"status", "--check", "--max-memory", "100", "--max-drift", "0"}, ""},
        {{"logger", "download", "--output", "x", "--retry", "1000"}, ""},
        {{"logger", "download", "--output", "x", "--retry", "1001"}, "bad --retry \"1001\""},
        {{"logger", "start", "--reading-period", "1s", "--avg-period", "10s"}, ""},
        {{"log", "--log-period", "1h", "--avg-period", "7200"}, "bad averaging period \"7200\""},
    };
    for (const auto &c : cases) {
        const CliParseResult parsed = ParseCliArguments(c.args);
        if (c.error.isEmpty())
            EXPECT_EQ(parsed.error, QString()) << c.args.join(' ').toStdString();
        else
            EXPECT_TRUE(parsed.error.startsWith(c.error))
                << c.args.join(' ').toStdString() << " -> " << parsed.error.toStdString();
    }
    const CliOptions log = ParseCliArguments({"log", "--log-period", "10s", "--avg-period=10m",
                                              "--duration", "1h", "--individual"})
                               .options;
    EXPECT_EQ(log.avgPeriod, "10m");
    EXPECT_EQ(log.durationSeconds, 3600);
    EXPECT_TRUE(log.individual);
    EXPECT_EQ(ParseCliArguments({"read", "--watch", "5"}).options.watchSeconds, 5);
    const QStringList mqtt{"--output", "f", "--mqtt", "mqtt://h"};
    EXPECT_EQ(ParseCliArguments(QStringList{"log", "--mqtt-discovery"} + mqtt)
                  .options.mqtt.discoveryPrefix,
              "homeassistant");
    EXPECT_EQ(ParseCliArguments(QStringList{"log", "--mqtt-discovery", "ha"} + mqtt)
                  .options.mqtt.discoveryPrefix,
              "ha");
    EXPECT_EQ(ParseCliArguments(QStringList{"log", "--mqtt-discovery=h/a"} + mqtt)
                  .options.mqtt.discoveryPrefix,
              "h/a");
    EXPECT_EQ(ParseCliArguments({"read", "--watch", "2m"}).options.watchSeconds, 120);
    // Every spelling of a period names the same list entry, for log and logger alike.
    for (const QString spelling : {"60m", "1h", "3600s", "3600"}) {
        EXPECT_EQ(ParseCliArguments({"log", "--log-period", spelling}).options.logPeriod, "60m");
        const CliOptions start = ParseCliArguments({"logger", "start", "--reading-period", spelling,
                                                    "--avg-period", spelling})
                                     .options;
        EXPECT_EQ(start.readingPeriod + start.avgPeriod, "1h1h") << spelling.toStdString();
    }
    const CliOptions check =
        ParseCliArguments({"status", "--check", "--battery-min", "1700", "--max-drift", "1m",
                           "--max-memory", "80.5", "--expect-logging", "--wait-busy", "30s"})
            .options;
    EXPECT_EQ(std::tuple(check.check, check.batteryMinMv, check.maxDriftSeconds,
                         check.maxMemoryPercent, check.expectLogging, check.waitBusySeconds),
              std::tuple(true, 1700, qint64(60), 80.5, true, qint64(30)));
    const CliOptions clock = ParseCliArguments({"logger", "set-clock", "--if-drift", "30",
                                                "--force", "--wait-for-device", "5m"})
                                 .options;
    EXPECT_EQ(std::tuple(clock.ifDriftSeconds, clock.force, clock.waitForDevice,
                         clock.waitForDeviceSeconds),
              std::tuple(qint64(30), true, true, qint64(300)));
    EXPECT_EQ(ParseCliArguments({"logger", "set-clock"}).options.ifDriftSeconds, -1);
    const CliOptions iso = ParseCliArguments({"log", "--iso-times", "--wait-for-device"}).options;
    EXPECT_TRUE(iso.isoTimes && iso.waitForDevice && iso.waitForDeviceSeconds == 0);
    EXPECT_EQ(ParseCliArguments({"units", "energy"}).options.unitsIndex, 1);
    EXPECT_EQ(DatedPath("/l/s-%Y-%m-%d%%.txt", QDate(2026, 3, 9)), "/l/s-2026-03-09%.txt");
}

TEST(CliCommands, AgainstTheSimulatorOnAPseudoTerminal)
{
    QTemporaryDir folder;
    PseudoTerminal silent;
    const QString missing = folder.filePath("no/such/dir/x.txt");
    // An instrument whose version line holds a Latin-1 letter, a tab and a control byte.
    PtyServerOptions own = DemoSimulator::demoOptions(SimModel::ZQ5);
    own.instrument.identity = InstrumentIdentity::defaultFor(SimModel::ZQ5);
    own.instrument.identity->versionLine = "ZQ5\tv1.03 Z\xFCrich\x07";
    DemoSimulator zurich(own);
    const QString zurichLog = folder.filePath("zurich.txt");
    // One that calls itself a ZQ3 v1 and answers "E" with a ZQ5's dump: no factors.
    own.instrument.identity->versionLine = "ZQ3 v1.9";
    DemoSimulator mislabelled(own);
    const struct
    {
        QStringList args;
        int code;
        QString out; // a pattern
        QString err; // contained
    } cases[] = {
        {{"status", "--demo"},
         0,
         "^Model: ZQ5\nVersion: ZQ5 v\\S+\nSerial: \\d+\nPower: \\d+mV\nUnits: umol.m-2.s-1\n"
         "Log status: Logging\nTotal: \\d+\\.\\d\nDiffuse: \\d+\\.\\d\nSun: (yes|no)\n$",
         ""},
        {{"read", "--demo"},
         0,
         "^\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\d[+-]\\d\\d:\\d\\d,\\d+\\.\\d,\\d+\\.\\d,[01],"
         "umol.m-2.s-1\n$",
         ""},
        {{"units", "molar", "--demo=ZQ4"}, 1, "^$", "You cannot change units on a ZQ4!"},
        {{"units", "illuminance", "--demo"}, 0, "^$", "Units: klux"},
        {{"ports", "--probe", "--demo"},
         0,
         "^1\t/dev/\\S+ — built-in simulator ZQ5\tanswers: ZQ5 v",
         ""},
        {{"status", "--device", "/dev/no-such-tty"},
         1,
         "^$",
         "cannot open /dev/no-such-tty: Error 8022"},
        {{"status", "--device", silent.slavePath},
         1,
         "^$",
         "no instrument answered on " + silent.slavePath},
        {{"status", "--device", "/dev/no-such-tty", "--wait-for-device", "1"},
         1,
         "^$",
         "waiting for the instrument: cannot open /dev/no-such-tty"},
        {{"logger", "info", "--demo=ZQ2"}, 1, "^$", "this instrument has no data logger"},
        {{"units", "molar", "--demo"}, 0, "^$", "the units are already umol.m-2.s-1"},
        {{"units", "energy", "--demo=ZQ4"}, 0, "^$", "the units are already W.m-2"},
        {{"status", "--device", zurich.devicePath()},
         0,
         "^Model: ZQ5\nVersion: ZQ5 v1.03 Zürich\nSerial: 5523\n",
         ""},
        {{"logger", "info", "--device", zurich.devicePath()}, 0, "ZQ5 v1.03 Zürich", ""},
        // The dataset spans blocks: a break may have left one part empty.
        {{"logger", "info", "--demo"}, 0, "\nRecords logged: at most [0-9]+\n", ""},
        {{"log", "-q", "--device", zurich.devicePath(), "--log-period", "1s", "--output", zurichLog,
          "--duration", "1s"},
         0,
         "",
         ""},
        {{"log", "--device", mislabelled.devicePath(), "--individual", "--log-period", "1s",
          "--duration", "5s"},
         1,
         "^$",
         "logging did not start: Failed to read ZQ3 calibration values"},
        {{"status", "--demo", "--trace", missing}, 3, "^$", "cannot write the trace"},
        {{"log", "--demo", "--log-period", "1s", "--output", missing, "--duration", "5s"},
         3,
         "",
         "cannot write " + missing},
    };
    for (const auto &c : cases) {
        const CliRun run = runCli(c.args);
        const std::string args = c.args.join(' ').toStdString();
        EXPECT_EQ(run.code, c.code) << args << "\n" << run.err.toStdString();
        EXPECT_TRUE(QRegularExpression(c.out).match(run.out).hasMatch()) << args << " printed:\n"
                                                                         << run.out.toStdString();
        EXPECT_TRUE(run.err.contains(c.err)) << args << ":\n" << run.err.toStdString();
    }
    // The log file names the instrument in its own words, in UTF-8.
    const QStringList heading = fileLines(zurichLog).mid(0, 2);
    EXPECT_TRUE(heading.value(0).startsWith("ZQ5 Logger Data file "))
        << heading.value(0).toStdString();
    EXPECT_EQ(heading.value(1), "ZQ5 v1.03 Zürich Ser No: 5523");

    // The file taken away while logging (as when its disk is unmounted): the run stops
    // at the next line with the reason, and exit 3.
    const QString vanishing = folder.filePath("gone.txt");
    QTimer remover;
    QObject::connect(&remover, &QTimer::timeout, [&] {
        if (QFile::remove(vanishing))
            remover.stop();
    });
    remover.start(100);
    const CliRun gone =
        runCli({"log", "--demo", "--log-period", "1s", "--output", vanishing, "--duration", "10s"});
    EXPECT_EQ(gone.code, ExitCode::FileFailed);
    EXPECT_TRUE(gone.err.contains(vanishing + " is no longer on the disk"))
        << gone.err.toStdString();
}

TEST(CliCommands, LogWritesTheWindowsFileAndStopsOnASignalAfterAWholeLine)
{
    QTemporaryDir folder;
    const QString csv = folder.filePath("log.csv");
    const CliRun run = runCli({"log", "--demo=ZQ4", "--log-period", "1s", "--avg-period", "2s",
                               "--duration", "4s", "--output", csv});
    EXPECT_EQ(run.code, ExitCode::Done) << run.err.toStdString();
    // Nothing each second on the journal at the default level (a stale lock that another
    // run left on this machine may be told).
    EXPECT_EQ(
        run.err.split('\n', Qt::SkipEmptyParts).filter(QRegularExpression("^(?!.*stale lock)")),
        QStringList())
        << run.err.toStdString();
    const QStringList lines = fileLines(csv);
    ASSERT_GE(lines.size(), 5);
    EXPECT_TRUE(lines[0].startsWith("ZQ4 Logger Data file "));
    EXPECT_TRUE(lines[1].startsWith("ZQ4 v"));
    EXPECT_EQ(lines[2], "Reading Units: W.m-2");
    EXPECT_EQ(lines[3], "Time,Total,Diffuse,Sun,Temp");
    // The heading, then one line on the screen for each line in the file.
    EXPECT_EQ(run.out.count('\n') - 1, lines.size() - 4) << run.out.toStdString();
    for (const QString &line : lines.mid(4))
        EXPECT_TRUE(QRegularExpression("^\\S+( \\S+)* \\d\\d:\\d\\d:\\d\\d(,-?\\d+\\.\\d){4}$")
                        .match(line)
                        .hasMatch())
            << line.toStdString();

    // --append continues a file of the same layout without a second header, and refuses
    // one of another layout, leaving it as it was.
    const CliRun more = runCli({"log", "-q", "--demo=ZQ4", "--log-period", "1s", "--duration", "2s",
                                "--output", csv, "--append"});
    EXPECT_EQ(more.code, ExitCode::Done) << more.err.toStdString();
    const QStringList longer = fileLines(csv);
    EXPECT_GT(longer.size(), lines.size());
    EXPECT_EQ(longer.mid(4).filter("Time").size(), 0);
    const CliRun other = runCli({"log", "--demo=ZQ5", "--log-period", "1s", "--duration", "2s",
                                 "--output", csv, "--append"});
    EXPECT_EQ(other.code, ExitCode::FileFailed);
    EXPECT_TRUE(other.err.contains("the file's header differs")) << other.err.toStdString();
    EXPECT_EQ(fileLines(csv), longer);

    // The program itself, stopped by SIGTERM while logging every second: exit 4 and a file
    // of whole lines.
    const QString txt = folder.filePath("log.txt");
    QProcess cli;
    cli.start(cliProgram(), {"log", "--demo", "--log-period", "1s", "--output", txt});
    ASSERT_TRUE(cli.waitForStarted());
    QByteArray screen;
    while (screen.count('\n') < 2 && cli.waitForReadyRead(10000))
        screen += cli.readAllStandardOutput();
    // A program that already ended has no process id: signalling 0 would reach this whole
    // process group.
    ASSERT_EQ(cli.state(), QProcess::Running) << screen.toStdString();
    cli.terminate();
    ASSERT_TRUE(cli.waitForFinished(10000));
    EXPECT_EQ(cli.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(cli.exitCode(), ExitCode::Interrupted);
    EXPECT_GE(fileLines(txt).size(), 5);

    // A usage error: one line on standard error, exit 2, and nothing touched (no trace).
    QProcess usage;
    const QString trace = folder.filePath("trace.txt");
    usage.start(cliProgram(), {"units", "kelvin", "--demo", "--trace", trace});
    ASSERT_TRUE(usage.waitForFinished(10000));
    EXPECT_EQ(usage.exitCode(), ExitCode::Usage);
    EXPECT_EQ(usage.readAllStandardError(),
              "quorvel-cli: bad units \"kelvin\" (energy, molar or illuminance)\n");
    EXPECT_FALSE(QFile::exists(trace));

    // Across midnight under a dated name: two files, each with its header, and every
    // second's line in one of them, once; with --iso-times each stamped with its day and
    // offset, and the new file told on the journal.
    SetClock lateEvening(QDateTime(QDate(2026, 12, 7), QTime(23, 59, 56)), true);
    const CliRun night = runCli({"log", "--demo=ZQ4", "--log-period", "1s", "--duration", "8s",
                                 "--output", folder.filePath("site-%Y-%m-%d.csv"), "--iso-times"},
                                &lateEvening);
    EXPECT_EQ(night.code, ExitCode::Done) << night.err.toStdString();
    EXPECT_TRUE(night.err.contains("new day's file " + folder.filePath("site-2026-12-08.csv")))
        << night.err.toStdString();
    QList<QTime> times;
    for (const QString day : {"2026-12-07", "2026-12-08"}) {
        const QStringList dayLines = fileLines(folder.filePath("site-" + day + ".csv"));
        ASSERT_GE(dayLines.size(), 5) << day.toStdString();
        EXPECT_TRUE(dayLines[0].startsWith("ZQ4 Logger Data file "));
        EXPECT_EQ(dayLines[3], "Time,Total,Diffuse,Sun,Temp");
        for (const QString &line : dayLines.mid(4)) {
            EXPECT_TRUE(QRegularExpression("^2026-12-0[78]T\\d\\d:\\d\\d:\\d\\d[+-]\\d\\d:\\d\\d,")
                            .match(line)
                            .hasMatch())
                << line.toStdString();
            times.append(QTime::fromString(
                QRegularExpression("\\d\\d:\\d\\d:\\d\\d").match(line).captured(), "HH:mm:ss"));
        }
    }
    for (int i = 1; i < times.size(); ++i)
        EXPECT_EQ((times[i - 1].secsTo(times[i]) + 86400) % 86400, 1) << night.out.toStdString();
}

// Another instrument answering on the port after a loss: the old file ends with the old
// instrument's lines, the other one's go to a file named with its serial number, with its
// own heading, and standard error says so. A setting of the clock is told there too.
TEST(CliCommands, LogGoesOnInAFileOfItsOwnForAnotherInstrumentAndTellsAClockStep)
{
    VirtualClock clock(QDateTime(QDate(2026, 6, 1), QTime(10, 0, 0, 600)));
    FakeSerialPort port(clock);
    Instrument instrument(clock, SimModel::ZQ5);
    SimulatedLine wire(instrument, port.addLine(1));
    SensorLink link(port, clock);
    link.setCommPort(1);
    ASSERT_TRUE(SettledLink(link, clock, port).status());
    const QString first = link.SerialNumber();

    QTemporaryDir folder;
    CliOptions options;
    options.command = "log";
    options.logPeriod = "1s";
    options.avgPeriod = "10s";
    options.output = folder.filePath("station.txt");
    QString out, err;
    QTextStream outStream(&out), errStream(&err);
    Console console{outStream, errStream};
    LogSession log(options, link, clock, console);
    ASSERT_TRUE(log.start());
    const auto run = [&](double seconds) {
        for (double t = 0; t < seconds; t += 0.5) {
            clock.advanceSeconds(0.5);
            // A second tick falls due while the first one's requests run.
            std::optional<bool> goOn;
            log.tick({});
            log.tick([&goOn](bool more) { goOn = more; });
            runLinkEvents(clock, port, [&goOn] { return goOn.has_value(); });
            ASSERT_EQ(goOn, true);
        }
    };
    run(25);
    SimFaults silent;
    silent.silent = true;
    instrument.setFaults(silent);
    run(5);
    instrument.state().identity().serialNumber = "8585";
    instrument.setFaults({});
    run(25);
    clock.setNow(clock.now().addSecs(-30));
    run(2);
    log.stop();

    const QString other = folder.filePath("station-8585.txt");
    EXPECT_EQ(InstrumentPath("/a.b/c.csv", "85/85"), "/a.b/c-85_85.csv");
    EXPECT_EQ(InstrumentPath("/a.b/c", "8585"), "/a.b/c-8585");
    const QStringList before = fileLines(options.output);
    const QStringList after = fileLines(other);
    ASSERT_GE(before.size(), 6);
    ASSERT_GE(after.size(), 6);
    EXPECT_EQ(before[1], "ZQ5 " + link.Version().section(' ', 1) + " Ser No: " + first);
    EXPECT_EQ(after[1], "ZQ5 " + link.Version().section(' ', 1) + " Ser No: 8585");
    EXPECT_TRUE(before[4].startsWith("01/06/2026 10:00:10\t") &&
                before[5].startsWith("01/06/2026 10:00:20\t"));
    const QTime changed = QTime::fromString(before.last().mid(11, 8), "HH:mm:ss");
    const QTime next = QTime::fromString(after[4].mid(11, 8), "HH:mm:ss");
    EXPECT_LT(changed, next);
    EXPECT_GT(changed, QTime(10, 0, 30));
    EXPECT_TRUE(
        err.contains(
            "quorvel-cli: another instrument answers on the port: ZQ5 Ser No: 8585 (Units: ") &&
        err.contains(", not ZQ5 Ser No: " + first + " (Units: ") &&
        err.contains("; its lines go to " + other + "\n"))
        << err.toStdString();
    EXPECT_TRUE(err.contains(
        QRegularExpression("quorvel-cli: the clock was set back 30 s; the period so far was "
                           "written, realigned to clock \\d\\d:\\d\\d:\\d\\d\n")))
        << err.toStdString();
}

TEST(CliCommands, LoggerDownloadWritesTheWindowsFileGoesOnAfterALostLineAndMovesThePointerOnce)
{
    PtyServerOptions memory = DemoSimulator::demoOptions(SimModel::ZQ5);
    memory.instrument.logger.prefill.records = 300;
    memory.instrument.logger.prefill.logging = false;
    // The line goes dead from the third block request on for five requests: the first
    // transfer is abandoned after two blocks and the retry goes on after them.
    memory.instrument.faults.lostAcknowledgement = FaultSchedule::onceAt(3, 5);
    DemoSimulator simulator(memory);
    SetClock clock(QDateTime(QDate(2026, 12, 7), QTime(3, 0)), false);
    QTemporaryDir folder;
    const auto download = [&](const QString &from, const QString &name,
                              const QStringList &more = {}) {
        return runCli(QStringList{"logger", "download", "--device", simulator.devicePath(),
                                  "--from", from, "--output", folder.filePath(name)} +
                          more,
                      &clock);
    };
    const CliRun first = download("new", "new1.txt", {"--retry", "2", "--retry-wait", "0s", "-v"});
    EXPECT_EQ(first.code, ExitCode::Done) << first.err.toStdString();
    EXPECT_TRUE(first.err.contains("Download abandoned")) << first.err.toStdString();
    EXPECT_TRUE(download("new", "new2.txt")
                    .err.contains(QRegularExpression("^0 records written",
                                                     QRegularExpression::MultilineOption)));
    ASSERT_EQ(download("start", "cli.txt").code, ExitCode::Done);

    // The window's transfer of the same memory, at the same time: the same file.
    DownloadOutcome outcome;
    DownloadRequest request;
    {
        CliOptions options;
        options.device = simulator.devicePath();
        InstrumentSession session(options, &clock);
        QString error;
        ASSERT_TRUE(session.prepare(error) && session.connect(error)) << error.toStdString();
        LoggerPackets packets(session.link());
        LoggerDetails details;
        LoggerDetailsReader reader(session.link(), session.clock(), packets);
        reader.read(
            [&details](const LoggerDetailsView &, const LoggerDetails &found) { details = found; });
        session.waitForRequests();
        ASSERT_TRUE(details.known());
        const LoggerState &state = *details.logger.value;
        struct : DownloadView
        {
            void ShowProgress(const QString &, float) override {}
            bool cancelRequested() const override { return false; }
            void showStatus(const QString &) override {}
        } view;
        request.bStart = true;
        request.strFile = folder.filePath("window.txt");
        DatasetDownload transfer(session.link(), session.clock());
        transfer.start(state, state.overwrite(), request, view,
                       [&outcome](const DownloadOutcome &end) { outcome = end; });
        session.waitForRequests();
    }
    const QByteArray window = fileBytes(request.strFile);
    ASSERT_GT(window.count('\n'), 300);
    EXPECT_EQ(fileBytes(folder.filePath("cli.txt")), window);
    EXPECT_EQ(fileBytes(folder.filePath("new1.txt")), window);
    // The retry fetched only the records after the last one in the file.
    int written = 0;
    for (const auto &match : QRegularExpression("(\\d+) records written").globalMatch(first.err))
        written += match.captured(1).toInt();
    EXPECT_EQ(written, 300) << first.err.toStdString();
    EXPECT_EQ(outcome.recordsWritten, 300);

    // Logging anew every second: each --from new fetches exactly the records logged since
    // the one before, and together they are the dataset from its start.
    const QString at = QDateTime::currentDateTime().addSecs(1).toString(Qt::ISODate);
    const CliRun started = runCli({"logger", "start", "--device", simulator.devicePath(),
                                   "--reading-period", "1s", "--at", at});
    ASSERT_EQ(started.code, ExitCode::Done) << started.err.toStdString();
    const auto records = [&](const QString &name) {
        return fileLines(folder.filePath(name))
            .mid(2)
            .filter(QRegularExpression("^[^\t]+\t[-0-9]"));
    };
    QStringList fetched;
    for (const QString name : {"a.txt", "b.txt"}) {
        std::this_thread::sleep_for(std::chrono::milliseconds(3500));
        const CliRun run = download("new", name);
        EXPECT_TRUE(run.err.contains(
            QRegularExpression("^" + QString::number(records(name).size()) + " records",
                               QRegularExpression::MultilineOption)));
        EXPECT_GE(records(name).size(), 2) << run.err.toStdString();
        fetched += records(name);
    }
    download("start", "whole.txt");
    EXPECT_EQ(records("whole.txt").mid(0, fetched.size()), fetched);
    EXPECT_LE(records("whole.txt").size() - fetched.size(), 1);
}

namespace {

// quorvel-cli's logger commands in process, against the simulated ZQ5 at the far end of a
// fake cable, on virtual time: a logger of 1024 blocks logging every minute, 1000
// records in memory of which 300 are downloaded.
class CliLoggerTest : public ::testing::Test
{
protected:
    CliLoggerTest()
    {
        InstrumentOptions options(SimModel::ZQ5);
        options.logger.prefill = {1000, false, false, true, 300};
        instrument = std::make_unique<Instrument>(clock, options);
        simulated = std::make_unique<SimulatedLine>(*instrument, cable);
        instrument->noteHeardFrames(true);
        link.setCommPort(1);
    }

    CliRun run(const QStringList &args)
    {
        const CliParseResult parsed = ParseCliArguments(args);
        EXPECT_EQ(parsed.error, QString()) << args.join(' ').toStdString();
        QString out, err;
        QTextStream outStream(&out), errStream(&err);
        Console console{outStream, errStream};
        InterruptWatch interrupts;
        const LoggerLine line{link, clock, {}, [this](const std::function<bool()> &done) {
                                  // The hook sees the queued requests' progress.
                                  runLinkEvents(
                                      clock, port,
                                      [&] {
                                          if (hook)
                                              hook();
                                          return done();
                                      },
                                      3600);
                              }};
        const int code = RunLoggerCommand(parsed.options, line, console, interrupts);
        return {code, out, err};
    }
    CliRun download(const QString &from, const QString &name, const QStringList &more = {})
    {
        // Retries on virtual time need no wait.
        const QStringList wait =
            more.contains("--retry") ? QStringList{"--retry-wait", "0s"} : QStringList();
        return run(
            QStringList{"logger", "download", "--from", from, "--output", folder.filePath(name)} +
            wait + more);
    }
    // The record lines of a dataset file.
    QStringList records(const QString &name) const
    {
        QFile file(folder.filePath(name));
        if (!file.open(QIODevice::ReadOnly))
            return {};
        return QString::fromUtf8(file.readAll())
            .split(QStringLiteral("\r\n"), Qt::SkipEmptyParts)
            .filter(QRegularExpression("^\\d.*\t"));
    }
    QList<int> downloadPosition()
    {
        const SimDatasetPointers pointers = instrument->logger().recorder().pointers();
        return {pointers.downloadBlock, pointers.downloadAddress};
    }
    int heard(quint8 command) const
    {
        return int(
            std::count_if(instrument->heardFrames().begin(), instrument->heardFrames().end(),
                          [&](const SimHeardFrame &frame) { return frame.command == command; }));
    }

    VirtualClock clock{QDateTime(QDate(2026, 6, 1), QTime(20, 0))};
    FakeSerialPort port{clock};
    FakeLine &cable{port.addLine(1)};
    std::unique_ptr<Instrument> instrument;
    std::unique_ptr<SimulatedLine> simulated;
    SensorLink link{port, clock};
    // Runs at every step of the link's events while a command waits for them.
    std::function<void()> hook;
    QTemporaryDir folder;
};

} // namespace

// A reply to the details read lost or garbled, or a program that names a block beyond the
// memory: the download is refused with exit 1, nothing is written and the logger's
// download position stays; `info` and `start` refuse too. With --retry the details are
// read again, and a read that succeeds then downloads.
TEST_F(CliLoggerTest, AFailedDetailsReadIsRefusedAndNothingMoves)
{
    const auto spoil = [](quint8 command, SpoiltFrame how) {
        return [=](SimFaults &faults) { faults.spoiltFrames[command] = how; };
    };
    const auto logTopBeyond = [](SimFaults &faults) {
        faults.replyData[10] = QByteArray::fromHex("0a00410000020000000000000004");
    };
    // clang-format off
    const std::tuple<QString, std::function<void(SimFaults &)>, QString> cases[] = {
        {"download", spoil(15, SpoiltFrame::Silent), "Command 15: no reply frame (header: 0 of 5 bytes)"},
        {"download", spoil(10, SpoiltFrame::Silent), "Command 10: no reply frame"},
        {"download", spoil(10, SpoiltFrame::NoiseFirst), "Command 10: no reply frame (start byte 00, not 0F)"},
        {"download", spoil(10, SpoiltFrame::ShortReply), "Command 10: the reply has 1 of 14 data bytes"},
        {"download", logTopBeyond, "Command 10: LogTop 1024 is beyond the memory of 1024 blocks"},
        {"download", spoil(14, SpoiltFrame::BadCrc), "Command 14: no reply frame (CRC check failed)"},
        {"download", spoil(18, SpoiltFrame::OtherCommand), "Command 18: the reply is for command 19"},
        {"download", spoil(22, SpoiltFrame::TruncatedBlock), "Command 22: block 10, the logger's top block, did not come whole (data block: 300 of 514 bytes)"},
        {"info", spoil(10, SpoiltFrame::Silent), "Command 10: no reply frame"},
        {"start", spoil(14, SpoiltFrame::Silent), "Command 14: no reply frame"},
    };
    // clang-format on
    const QList<int> before = downloadPosition();
    const QString trace = folder.filePath("trace.txt");
    QString traceError;
    ASSERT_TRUE(StartLinkTrace(trace, traceError));
    for (const auto &[command, fault, reason] : cases) {
        SCOPED_TRACE(reason.toStdString());
        SimFaults faults;
        fault(faults);
        instrument->setFaults(faults);
        instrument->heardFrames().clear();
        const CliRun result =
            command == "download" ? download("new", "refused.txt") : run({"logger", command});
        EXPECT_EQ(result.code, ExitCode::InstrumentFailed);
        EXPECT_TRUE(
            result.err.startsWith("quorvel-cli: could not read the logger's program: " + reason))
            << result.err.toStdString();
        EXPECT_EQ(result.out, "");
        EXPECT_FALSE(QFile::exists(folder.filePath("refused.txt")));
        EXPECT_EQ(downloadPosition(), before);
        EXPECT_EQ(heard(11) + heard(21), 0);
    }
    StopLinkTrace();
    // Each reason is in the trace too.
    const QByteArray traced = fileBytes(trace);
    for (const auto &row : cases)
        EXPECT_TRUE(traced.contains("reply refused: " + std::get<2>(row).toUtf8()))
            << std::get<2>(row).toStdString();

    // The program lost at the first read and the next (each asks three times), found at
    // the third.
    SimFaults faults;
    faults.spoiltFrames[10] = SpoiltFrame::Silent;
    instrument->setFaults(faults);
    hook = [&] {
        if (heard(10) >= 2 * LoggerPackets::ReadAttempts)
            instrument->setFaults({});
    };
    instrument->heardFrames().clear();
    const CliRun retried = download("new", "retried.txt", {"--retry", "2", "-v"});
    hook = nullptr;
    EXPECT_EQ(retried.code, ExitCode::Done) << retried.err.toStdString();
    EXPECT_EQ(retried.err.count("could not read the logger's program: Command 10"), 2);
    EXPECT_EQ(records("retried.txt").size(), 700);
    EXPECT_NE(downloadPosition(), before);
}

// The changes, in process: done when the logger answered that very command, refused with
// the reason when its reply did not come; one packet each, never sent again.
TEST_F(CliLoggerTest, AChangeIsDoneOnlyWhenTheLoggerAnswersIt)
{
    for (const QString command : {"stop", "set-clock"}) {
        const quint8 code = command == "stop" ? 11 : 13;
        for (const bool lost : {true, false}) {
            SimFaults faults;
            if (lost)
                faults.spoiltFrames[code] = SpoiltFrame::Silent;
            instrument->setFaults(faults);
            instrument->heardFrames().clear();
            const CliRun result = run(QStringList{"logger", command} +
                                      (command == "stop" ? QStringList() : QStringList{"--force"}));
            EXPECT_EQ(result.code, lost ? ExitCode::InstrumentFailed : ExitCode::Done);
            EXPECT_EQ(result.err.startsWith("quorvel-cli: the logger refused " + command +
                                            QString(": Command %1: no reply frame (").arg(code)),
                      lost)
                << result.err.toStdString();
            EXPECT_EQ(heard(code), 1);
        }
    }
}

// Five nights of `--from new` against a logger that goes on logging, on a line where a
// fifth of the logger's replies are lost or led by noise: every run that reports success
// wrote only records not downloaded before, and together their files hold every record
// of the dataset exactly once, in order.
TEST_F(CliLoggerTest, NightlyDownloadsOnABadLineFetchEveryRecordOnce)
{
    QStringList fetched;
    QSet<QString> seen;
    for (int night = 1; night <= 5; ++night) {
        clock.advanceSeconds(86400);
        SimFaults faults;
        faults.lostReplyChance = 0.1;
        faults.noisyReplyChance = 0.1;
        faults.faultSeed = static_cast<quint32>(night);
        instrument->setFaults(faults);
        const QString name = QStringLiteral("night%1.txt").arg(night);
        const CliRun result = download("new", name, {"--retry", "3"});
        EXPECT_EQ(result.code, ExitCode::Done) << result.err.toStdString();
        // Only new records, each once.
        const QStringList got = records(name);
        EXPECT_GT(got.size(), 200);
        for (const QString &record : got) {
            EXPECT_FALSE(seen.contains(record)) << record.toStdString();
            seen.insert(record);
        }
        fetched += got;
    }
    instrument->setFaults({});
    // The last night's run fetched all there was.
    ASSERT_EQ(download("new", "after.txt").code, ExitCode::Done);
    EXPECT_EQ(records("after.txt"), QStringList());
    ASSERT_EQ(download("start", "whole.txt").code, ExitCode::Done);
    EXPECT_EQ(records("whole.txt").mid(300), fetched);
}

namespace {

QJsonValue parsedJson(const QString &text)
{
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(text.toUtf8(), &error);
    EXPECT_EQ(error.error, QJsonParseError::NoError) << text.toStdString();
    return document.isArray() ? QJsonValue(document.array()) : QJsonValue(document.object());
}

// The type a key must have: n number, s text, b boolean, t ISO time with offset, o object;
// upper case: null is allowed.
void expectShape(const QJsonObject &object, const QList<QPair<QString, char>> &shape,
                 const std::string &where)
{
    QStringList keys;
    for (const auto &[key, type] : shape) {
        keys.append(key);
        const QJsonValue value = object.value(key);
        const bool nullable = std::isupper(type);
        if (nullable && value.isNull())
            continue;
        const char kind = static_cast<char>(std::tolower(type));
        const bool ok =
            (kind == 'n' && value.isDouble()) || (kind == 's' && value.isString()) ||
            (kind == 'b' && value.isBool()) || (kind == 'o' && value.isObject()) ||
            (kind == 't' &&
             QRegularExpression("^\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\d[+-]\\d\\d:\\d\\d$")
                 .match(value.toString())
                 .hasMatch());
        EXPECT_TRUE(ok) << where << " " << key.toStdString() << " = "
                        << QJsonDocument(QJsonArray{value}).toJson().toStdString();
    }
    QStringList found = object.keys();
    found.sort();
    keys.sort();
    EXPECT_EQ(found, keys) << where;
    EXPECT_EQ(object.value("schema_version"), 1) << where;
}

} // namespace

// Every machine output has the same keys, types and number forms in every locale; the
// CSV line keeps its five fields with decimal points.
TEST(CliCommands, JsonAndCsvAreTheSameInEveryLocale)
{
    const QList<QPair<QString, char>> identity = {
        {"schema_version", 'n'}, {"time", 't'},  {"model", 's'},      {"version", 's'},
        {"serial", 's'},         {"units", 's'}, {"power_text", 's'}, {"battery_mv", 'n'}};
    const QList<QPair<QString, char>> status =
        identity + QList<QPair<QString, char>>{{"has_logger", 'b'}, {"log_status", 'S'},
                                               {"logging", 'B'},    {"total", 'n'},
                                               {"diffuse", 'n'},    {"sun", 'b'}};
    const QList<QPair<QString, char>> logger =
        identity + QList<QPair<QString, char>>{{"memory_blocks", 'n'},
                                               {"memory_bytes", 'n'},
                                               {"logger_time", 't'},
                                               {"clock_offset_s", 'n'},
                                               {"logging", 'b'},
                                               {"overwrite", 'b'},
                                               {"reading_period_s", 'n'},
                                               {"averaging_period_s", 'n'},
                                               {"next_record", 't'},
                                               {"first_record", 't'},
                                               {"last_record", 't'},
                                               {"last_retrieved", 'T'},
                                               {"records_logged", 'n'},
                                               {"records_retrieved", 'n'},
                                               {"records_not_downloaded", 'n'},
                                               {"memory_used_percent", 'n'},
                                               {"memory_full", 'o'}};
    const QList<QPair<QString, char>> reading = {
        {"schema_version", 'n'}, {"time", 't'}, {"total", 'n'},
        {"diffuse", 'n'},        {"sun", 'b'},  {"units", 's'}};
    const QList<QPair<QString, char>> port = {
        {"schema_version", 'n'}, {"number", 'n'}, {"device", 's'}, {"by_id", 'S'},
        {"description", 'S'},    {"opened", 'b'}, {"answer", 's'}};
    for (const char *name : {"en_GB", "de_DE", "fr_FR"}) {
        LocaleGuard locale{QLocale(QString::fromLatin1(name))};
        const std::string where = name;
        const CliRun statusRun = runCli({"status", "--demo=ZQ4", "--json"});
        const QJsonObject facts = parsedJson(statusRun.out).toObject();
        expectShape(facts, status, where + " status");
        EXPECT_EQ(facts.value("battery_mv"), 3612) << statusRun.out.toStdString();
        EXPECT_EQ(std::tuple(facts.value("model").toString(), facts.value("units").toString(),
                             facts.value("logging").toBool()),
                  std::tuple(QString("ZQ4"), QString("W.m-2"), true));
        EXPECT_GT(facts.value("total").toDouble(), 0) << statusRun.out.toStdString();

        const CliRun info = runCli({"logger", "info", "--demo", "--json"});
        const QJsonObject details = parsedJson(info.out).toObject();
        expectShape(details, logger, where + " logger info");
        // The simulator's clock is this computer's: a whole second, 0 unless the read on
        // the real line crossed into the next second.
        const double offset = details.value("clock_offset_s").toDouble(99);
        EXPECT_TRUE(offset == 0 || offset == -1) << info.out.toStdString();
        EXPECT_EQ(details.value("records_not_downloaded"), details.value("records_logged"));
        EXPECT_GT(details.value("records_logged").toInt(), 0);
        EXPECT_EQ(details.value("memory_full").toObject().value("kind"), "full");
        EXPECT_GT(details.value("memory_used_percent").toDouble(), 0);

        const CliRun read = runCli({"read", "--demo", "--json"});
        expectShape(parsedJson(read.out).toObject(), reading, where + " read");
        const QStringList csv = runCli({"read", "--demo=ZQ5"}).out.trimmed().split(',');
        ASSERT_EQ(csv.size(), 5) << where;
        EXPECT_TRUE(QRegularExpression("^\\d+\\.\\d$").match(csv[1]).hasMatch()) << where;

        const QJsonArray ports =
            parsedJson(runCli({"ports", "--probe", "--demo", "--json"}).out).toArray();
        ASSERT_FALSE(ports.isEmpty());
        expectShape(ports.first().toObject(), port, where + " ports");
        const QJsonArray problems =
            parsedJson(
                runCli({"status", "--check", "--demo", "--json", "--battery-min", "9999"}).out)
                .toArray();
        ASSERT_EQ(problems.size(), 1) << where;
        expectShape(problems.first().toObject(),
                    {{"schema_version", 'n'},
                     {"problem", 's'},
                     {"value", 'n'},
                     {"limit", 'n'},
                     {"message", 's'}},
                    where + " check");
    }
}

// status --check: each problem alone, then none; exit 5 with one line each, exit 0 without.
TEST(CliCommands, StatusCheckNamesEachProblem)
{
    const struct
    {
        std::function<void(PtyServerOptions &)> setup;
        QStringList more;
        QStringList problems;
    } cases[] = {
        {[](PtyServerOptions &) {}, {"--expect-logging"}, {}},
        {[](PtyServerOptions &o) {
             o.instrument.identity = InstrumentIdentity::defaultFor(SimModel::ZQ5);
             o.instrument.identity->powerMillivolts = 1600;
         },
         {},
         {"battery_low"}},
        {[](PtyServerOptions &) {}, {"--battery-min", "3613"}, {"battery_low"}},
        {[](PtyServerOptions &o) { o.instrument.logger.clockOffsetSeconds = 12; },
         {},
         {"clock_drift"}},
        {[](PtyServerOptions &o) { o.instrument.logger.clockOffsetSeconds = 10; }, {}, {}},
        {[](PtyServerOptions &o) { o.instrument.logger.clockOffsetSeconds = -12; },
         {"--max-drift", "15"},
         {}},
        {[](PtyServerOptions &o) {
             o.instrument.logger.memoryBlocks = 8;
             o.instrument.logger.prefill.records = 950;
         },
         {},
         {"memory_full"}},
        {[](PtyServerOptions &o) { o.instrument.logger.prefill.logging = false; },
         {"--expect-logging"},
         {"not_logging"}},
        {[](PtyServerOptions &o) { o.instrument.logger.prefill.logging = false; }, {}, {}},
    };
    for (const auto &c : cases) {
        PtyServerOptions options = DemoSimulator::demoOptions(SimModel::ZQ5);
        c.setup(options);
        DemoSimulator simulator(options);
        const QStringList args =
            QStringList{"status", "--check", "--device", simulator.devicePath()} + c.more;
        const CliRun text = runCli(args);
        const CliRun json = runCli(args + QStringList{"--json"});
        const std::string where = (c.problems.join(' ') + " " + c.more.join(' ')).toStdString();
        EXPECT_EQ(text.code, c.problems.isEmpty() ? ExitCode::Done : ExitCode::Unhealthy) << where;
        EXPECT_EQ(text.out.count('\n'), c.problems.size()) << where << text.out.toStdString();
        QStringList found;
        for (const QJsonValue &problem : parsedJson(json.out).toArray())
            found.append(problem.toObject().value("problem").toString());
        EXPECT_EQ(found, c.problems) << where << json.out.toStdString();
    }
}

// A download never replaces a file: it writes FILE.part and makes it FILE when it ends
// well; a rerun adds only what is new; another instrument's file is refused; a FILE.part
// from a failed night is continued, so that the file holds every record once.
TEST(CliCommands, DownloadsNeverOverwriteOrRepeat)
{
    PtyServerOptions memory = DemoSimulator::demoOptions(SimModel::ZQ5);
    memory.instrument.logger.prefill.records = 300;
    memory.instrument.logger.prefill.logging = false;
    // The line goes dead from the third block request on, for as long as a transfer
    // tries: the first night fails after two blocks.
    memory.instrument.faults.lostAcknowledgement =
        FaultSchedule::onceAt(3, DatasetDownload::AbandonAtRetry);
    DemoSimulator simulator(memory);
    SetClock clock(QDateTime(QDate(2026, 12, 7), QTime(3, 0)), false);
    QTemporaryDir folder;
    const QString night = folder.filePath("night.txt");
    const auto download = [&](const QString &from, const QString &file,
                              const QStringList &more = {}) {
        return runCli(QStringList{"logger", "download", "--device", simulator.devicePath(),
                                  "--from", from, "--output", file} +
                          more,
                      &clock);
    };
    const CliRun failed = download("new", night);
    EXPECT_EQ(failed.code, ExitCode::InstrumentFailed) << failed.err.toStdString();
    EXPECT_FALSE(QFile::exists(night));
    const QStringList partial = fileLines(night + ".part");
    EXPECT_GT(partial.size(), 50);
    EXPECT_LT(partial.size(), 300);

    const CliRun next = download("new", night);
    EXPECT_EQ(next.code, ExitCode::Done) << next.err.toStdString();
    EXPECT_TRUE(next.err.contains("continuing " + night + ".part")) << next.err.toStdString();
    EXPECT_FALSE(QFile::exists(night + ".part"));
    EXPECT_FALSE(QFile::exists(night + ".part.new"));
    const QByteArray whole = fileBytes(night);
    ASSERT_EQ(download("start", folder.filePath("once.txt")).code, ExitCode::Done);
    EXPECT_EQ(whole, fileBytes(folder.filePath("once.txt")));

    // The same day again: the file is kept and nothing is repeated.
    const CliRun again = download("start", night, {"-q"});
    EXPECT_EQ(again.code, ExitCode::Done) << again.err.toStdString();
    EXPECT_EQ(fileBytes(night), whole);

    // Another instrument's file (or one that is no dataset) is left as it was: exit 3.
    const QString other = folder.filePath("other.txt");
    QFile file(other);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("ZQ4 Data file 01/12/2026 03:00:00\r\nZQ4 v2.3 Ser No: 4711\r\n");
    file.close();
    const QByteArray before = fileBytes(other);
    const CliRun refused = download("new", other);
    EXPECT_EQ(refused.code, ExitCode::FileFailed);
    EXPECT_TRUE(refused.err.contains(other + " exists and is not a dataset of this instrument"))
        << refused.err.toStdString();
    EXPECT_EQ(fileBytes(other), before);
    EXPECT_FALSE(QFile::exists(other + ".part"));

    // --iso-times: the record times as ISO 8601 with the offset.
    const QString iso = folder.filePath("iso.csv");
    ASSERT_EQ(download("start", iso, {"--iso-times"}).code, ExitCode::Done);
    const QStringList isoLines = fileLines(iso);
    EXPECT_TRUE(QRegularExpression("^\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\d[+-]\\d\\d:\\d\\d,")
                    .match(isoLines.last())
                    .hasMatch())
        << isoLines.last().toStdString();
}

// logger start and set-clock refuse what the window asks about, unless --force;
// --if-drift leaves a clock that is close enough.
TEST(CliCommands, LoggerSafetyAsTheWindowAsks)
{
    PtyServerOptions options = DemoSimulator::demoOptions(SimModel::ZQ5);
    options.instrument.logger.clockOffsetSeconds = 20;
    DemoSimulator simulator(options);
    const auto logger = [&](const QStringList &args) {
        return runCli(QStringList{"logger", "--device", simulator.devicePath()} + args);
    };
    const struct
    {
        QStringList args;
        int code;
        QString err;
    } cases[] = {
        {{"set-clock"}, 1, "If you adjust the time while logging"},
        {{"set-clock", "--if-drift", "30"}, 0, "off by 20.0 s, not more than 30 s: not set"},
        {{"stop"}, 0, ""},
        {{"start", "--reading-period", "1s"}, 1, "You have not downloaded all your data."},
        {{"set-clock", "--if-drift", "10"}, 0, ""},
        {{"set-clock", "--if-drift", "10"}, 0, "not set"},
        {{"start", "--reading-period", "1s", "--force"}, 0, ""},
        {{"set-clock", "--force"}, 0, ""},
    };
    for (const auto &c : cases) {
        const CliRun run = logger(c.args);
        EXPECT_EQ(run.code, c.code) << c.args.join(' ').toStdString() << run.err.toStdString();
        EXPECT_TRUE(run.err.contains(c.err))
            << c.args.join(' ').toStdString() << run.err.toStdString();
    }
}

// A lock file of a process that runs holds the port (exit 6, naming it; --wait-busy waits
// for it to end); one of a process that is gone is stale and stepped round.
TEST(CliCommands, LockFilesOfLiveAndDeadProcesses)
{
    DemoSimulator simulator(DemoSimulator::demoOptions(SimModel::ZQ5));
    const QString lock = PortLock().lockFilePath(simulator.devicePath());
    ASSERT_FALSE(lock.isEmpty());
    const auto writeLock = [&](qint64 pid) {
        QFile file(lock);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(QByteArray::number(pid).rightJustified(10) + "\n");
    };
    QProcess holder;
    holder.start("sleep", {"2"});
    ASSERT_TRUE(holder.waitForStarted());
    writeLock(holder.processId());
    const CliRun busy = runCli({"status", "--device", simulator.devicePath()});
    EXPECT_EQ(busy.code, ExitCode::Busy);
    EXPECT_TRUE(busy.err.contains(simulator.devicePath() + " is in use by sleep (PID " +
                                  QString::number(holder.processId()) + ")"))
        << busy.err.toStdString();
    // Waiting: the holder ends, its lock is stale.
    const CliRun waited =
        runCli({"status", "--device", simulator.devicePath(), "--wait-busy", "10"});
    EXPECT_EQ(waited.code, ExitCode::Done) << waited.err.toStdString();
    EXPECT_TRUE(waited.err.contains("waiting for the port")) << waited.err.toStdString();
    EXPECT_TRUE(waited.err.contains("stale lock " + lock)) << waited.err.toStdString();
    holder.waitForFinished();
    EXPECT_FALSE(QFile::exists(lock));
}

// read --watch keeps to its schedule and waits for a device that went away, telling the
// journal when it went and came back; a signal ends it.
TEST(CliCommands, ReadWatchWaitsForTheDeviceToComeBack)
{
    QTemporaryDir folder;
    const QString device = folder.filePath("tty");
    auto first = std::make_unique<DemoSimulator>(DemoSimulator::demoOptions(SimModel::ZQ5));
    std::unique_ptr<DemoSimulator> second;
    ASSERT_TRUE(QFile::link(first->devicePath(), device));
    QTimer::singleShot(2500, [&] {
        first.reset();
        second = std::make_unique<DemoSimulator>(DemoSimulator::demoOptions(SimModel::ZQ5));
        QFile::remove(device);
        QFile::link(second->devicePath(), device);
    });
    QTimer::singleShot(7500, [] { ::raise(SIGTERM); });
    const CliRun run = runCli({"read", "--watch", "1", "--device", device});
    EXPECT_EQ(run.code, ExitCode::Interrupted) << run.err.toStdString();
    EXPECT_TRUE(run.err.contains("device lost")) << run.err.toStdString();
    EXPECT_TRUE(run.err.contains("device back")) << run.err.toStdString();
    EXPECT_GE(run.out.count('\n'), 4) << run.out.toStdString();
}
