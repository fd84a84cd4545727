// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/InstrumentCommands.h"

#include "cli/ConsolePrompts.h"
#include "cli/ExitCode.h"
#include "cli/HealthCheck.h"
#include "cli/InstrumentSession.h"
#include "cli/InterruptWatch.h"
#include "cli/Journal.h"
#include "cli/JsonContract.h"
#include "cli/LogCommand.h"
#include "cli/LoggerCommands.h"
#include "cli/UnitsChoiceView.h"
#include "display/DisplayPoll.h"
#include "link/LinkTrace.h"
#include "logger/LoggerDetailsReader.h"
#include "logger/LoggerPackets.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <cmath>

namespace {

using namespace JsonContract;

// The units the instrument reports, in the order of the units names.
const QString UnitsTexts[] = {QStringLiteral("umol.m-2.s-1"), QStringLiteral("W.m-2"),
                              QStringLiteral("klux")};

void printJson(Console &console, const QJsonValue &value)
{
    const QJsonDocument document =
        value.isArray() ? QJsonDocument(value.toArray()) : QJsonDocument(value.toObject());
    console.out << document.toJson(QJsonDocument::Compact) << Qt::endl;
}

int runPorts(const CliOptions &options, InstrumentSession &session, Console &console)
{
    const PortTable &table = session.table();
    if (table.count() == 0 && options.verbosity > 0)
        console.err << "quorvel-cli: no serial ports" << Qt::endl;
    QJsonArray ports;
    for (int number = 1; number <= table.count(); ++number) {
        QString line = QString::number(number) + QLatin1Char('\t') + table.describe(number);
        QJsonObject facts = PortFacts(table, number);
        QJsonValue opened, answer;
        if (options.probe) {
            SensorLink &link = session.link();
            link.setCommPort(number);
            opened = link.CommPort() != 0;
            const bool answered = opened.toBool() && session.readStatus();
            if (!opened.toBool())
                line += QStringLiteral("\tcannot be opened");
            else if (answered)
                line += QStringLiteral("\tanswers: ") + link.Version();
            else
                line += QStringLiteral("\tno answer");
            if (answered)
                answer = link.Version();
            link.setCommPort(0);
        }
        facts.insert(QLatin1String(Key::Opened), opened);
        facts.insert(QLatin1String(Key::Answer), answer);
        if (options.json)
            ports.append(facts);
        else
            console.out << line << Qt::endl;
    }
    if (options.json)
        printJson(console, ports);
    return ExitCode::Done;
}

// status --check: the status facts with the logger's where it has one.
int runCheck(const CliOptions &options, InstrumentSession &session, QJsonObject facts,
             Console &console)
{
    SensorLink &link = session.link();
    if (HasLogger(link)) {
        LoggerPackets packets(link);
        LoggerDetails details;
        LoggerDetailsReader reader(link, session.clock(), packets);
        reader.read(
            [&details](const LoggerDetailsView &, const LoggerDetails &found) { details = found; });
        session.waitForRequests();
        const QJsonObject logger = LoggerFacts(link, details, session.clock().now());
        for (const char *key : {Key::ClockOffsetS, Key::MemoryUsedPercent, Key::Logging})
            facts.insert(QLatin1String(key), logger.value(QLatin1String(key)));
    }
    const QJsonArray problems = HealthCheck(options).problems(facts);
    if (options.json)
        printJson(console, problems);
    else
        for (const QString &line : HealthCheck::lines(problems))
            console.out << line << '\n';
    console.out << Qt::flush;
    return problems.isEmpty() ? ExitCode::Done : ExitCode::Unhealthy;
}

int runStatus(const CliOptions &options, InstrumentSession &session, Console &console)
{
    SensorLink &link = session.link();
    if (!session.readStatus())
        return Fail(console, QStringLiteral("the instrument did not report its status: ") +
                                 session.forMessage(link.Status()));
    session.readReadings();
    const QJsonObject facts = StatusFacts(link, session.clock().now());
    if (options.check)
        return runCheck(options, session, facts, console);
    const QString units = UnitsOf(link);
    const auto reading = [&](float value) {
        return link.hasReadings() ? ReadingText(value, units) : QString();
    };
    if (options.json) {
        printJson(console, facts);
    } else {
        console.out << "Model: " << ModelOf(link.Version()) << "\nVersion: " << link.Version()
                    << "\nSerial: " << link.SerialNumber() << "\nPower: " << link.Power()
                    << "\nUnits: " << units << "\nLog status: " << link.LogStatus()
                    << "\nTotal: " << reading(link.Total())
                    << "\nDiffuse: " << reading(link.Diffuse())
                    << "\nSun: " << (link.hasReadings() ? (link.Sun() ? "yes" : "no") : "")
                    << Qt::endl;
    }
    return link.hasReadings()
               ? ExitCode::Done
               : Fail(console, QStringLiteral("no readings: ") + session.forMessage(link.Status()));
}

// After a device vanished: tries every second to open it again until it answers. False
// when a signal came first.
bool waitForDeviceBack(InstrumentSession &session, Journal &journal, InterruptWatch &interrupts)
{
    SensorLink &link = session.link();
    journal.event(QStringLiteral("device lost: ") + session.forMessage(link.Status()));
    while (interrupts.sleep(1.0)) {
        if (link.CommPort() == 0)
            link.reopenLostPort();
        if (link.CommPort() != 0 && session.readStatus()) {
            journal.event(QStringLiteral("device back: ") + session.forMessage(link.Status()));
            return true;
        }
    }
    return false;
}

int runRead(const CliOptions &options, InstrumentSession &session, Console &console,
            InterruptWatch &interrupts)
{
    SensorLink &link = session.link();
    Clock &clock = session.clock();
    Journal journal(console.err, clock, options.verbosity);
    // The units come with the status.
    if (!session.readStatus())
        return Fail(console, QStringLiteral("the instrument did not answer: ") +
                                 session.forMessage(link.Status()));
    // The readings keep to a schedule from the start, so that slow replies do not make
    // them drift; a period missed altogether is skipped.
    const double start = clock.monotonicSeconds();
    bool failing = false;
    for (qint64 period = 1;; ++period) {
        const bool read = session.readReadings();
        if (read) {
            const QDateTime now = clock.now();
            if (options.json)
                printJson(console, ReadingFacts(link, now));
            else
                console.out << IsoTime(now) << ',' << ReadingText(link.Total(), UnitsOf(link))
                            << ',' << ReadingText(link.Diffuse(), UnitsOf(link)) << ','
                            << (link.Sun() ? 1 : 0) << ',' << UnitsOf(link) << Qt::endl;
        } else if (!options.watch) {
            return Fail(console,
                        QStringLiteral("no readings: ") + session.forMessage(link.Status()));
        } else if (link.CommPort() == 0 || !session.readStatus()) {
            if (!waitForDeviceBack(session, journal, interrupts))
                break;
        } else if (!failing) {
            // Once for a run of failed readings, not every period.
            journal.event(QStringLiteral("no readings: ") + session.forMessage(link.Status()));
        }
        failing = !read;
        if (!options.watch)
            break;
        const double now = clock.monotonicSeconds();
        period =
            std::max(period, static_cast<qint64>(std::ceil((now - start) / options.watchSeconds)));
        if (!interrupts.sleep(start + static_cast<double>(period) * options.watchSeconds - now))
            break;
    }
    return interrupts.interrupted() ? ExitCode::Interrupted : ExitCode::Done;
}

int runUnits(const CliOptions &options, InstrumentSession &session, Console &console)
{
    SensorLink &link = session.link();
    if (!session.readStatus())
        return Fail(console, QStringLiteral("the instrument did not answer: ") +
                                 session.forMessage(link.Status()));
    if (UnitsOf(link) == UnitsTexts[options.unitsIndex]) {
        if (options.verbosity > 0)
            console.err << "quorvel-cli: the units are already " << UnitsOf(link) << Qt::endl;
        return ExitCode::Done;
    }
    ConsolePrompts prompts(console.err);
    UnitsChoiceView view;
    DisplayPoll poll(link, prompts);
    poll.setView(view);
    poll.chooseUnits(options.unitsIndex);
    session.waitForRequests();
    if (view.selected != options.unitsIndex || !view.bold)
        return Fail(console, session.forMessage(view.status));
    if (options.verbosity > 0)
        console.err << view.caption.mid(QStringLiteral("Reading ").size()) << Qt::endl;
    return ExitCode::Done;
}

// Connects to the instrument. With --wait-for-device tries again every second until it
// answers (or the time is up), with --wait-busy while another program holds the port.
int connect(const CliOptions &options, InstrumentSession &session, Console &console,
            InterruptWatch &interrupts)
{
    Journal journal(console.err, session.clock(), options.verbosity);
    const double start = session.clock().monotonicSeconds();
    const auto within = [&](qint64 seconds) {
        return seconds == 0 || session.clock().monotonicSeconds() - start < double(seconds);
    };
    bool told = false;
    QString error;
    for (int attempt = 0;; ++attempt) {
        const bool connected = session.connect(error);
        const QString notice = session.takeNotice();
        if (!notice.isEmpty())
            journal.event(notice);
        if (connected)
            return ExitCode::Done;
        const bool busy = session.busy();
        const bool wait = busy ? options.waitBusySeconds > 0 && within(options.waitBusySeconds)
                               : (options.waitForDevice && within(options.waitForDeviceSeconds)) ||
                                     attempt < options.retries;
        if (!wait)
            return Fail(console, error, busy ? ExitCode::Busy : ExitCode::InstrumentFailed);
        if (!told)
            journal.event((busy ? QStringLiteral("waiting for the port: ")
                                : QStringLiteral("waiting for the instrument: ")) +
                          error);
        told = true;
        const double pause = !busy && !options.waitForDevice ? options.retryWaitSeconds : 1.0;
        if (!interrupts.sleep(pause))
            return ExitCode::Interrupted;
    }
}

} // namespace

int Fail(Console &console, const QString &text, int code)
{
    console.err << "quorvel-cli: " << text << Qt::endl;
    return code;
}

int RunCliCommand(const CliOptions &options, Console &console, InterruptWatch &interrupts,
                  Clock *clock)
{
    QString error;
    if (!options.traceFile.isEmpty() && !StartLinkTrace(options.traceFile, error))
        return Fail(console, QStringLiteral("cannot write the trace: ") + error,
                    ExitCode::FileFailed);
    int result = ExitCode::Done;
    {
        InstrumentSession session(options, clock);
        if (!session.prepare(error))
            result = Fail(console, error);
        else if (options.command == QLatin1String("ports"))
            result = runPorts(options, session, console);
        else if ((result = connect(options, session, console, interrupts)) != ExitCode::Done)
            ;
        else if (options.command == QLatin1String("status"))
            result = runStatus(options, session, console);
        else if (options.command == QLatin1String("read"))
            result = runRead(options, session, console, interrupts);
        else if (options.command == QLatin1String("units"))
            result = runUnits(options, session, console);
        else if (options.command == QLatin1String("log"))
            result = RunLogCommand(options, session, console, interrupts);
        else if (options.command == QLatin1String("logger"))
            result = RunLoggerCommand(options, session, console, interrupts);
    }
    if (!options.traceFile.isEmpty())
        StopLinkTrace();
    return result;
}
