#include "cli/InstrumentCommands.h"

#include "cli/ConsolePrompts.h"
#include "cli/ExitCode.h"
#include "cli/InstrumentSession.h"
#include "cli/InterruptWatch.h"
#include "cli/LogCommand.h"
#include "cli/LoggerCommands.h"
#include "cli/UnitsChoiceView.h"
#include "common/NumberFormat.h"
#include "display/DisplayPoll.h"
#include "link/LinkTrace.h"

#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace {

constexpr int IlluminanceIndex = 2;

// "W.m-2" from the instrument's "Units: W.m-2".
QString unitsText(const SensorLink &link)
{
    QString units = link.units();
    if (units.startsWith(QLatin1String("Units:")))
        units = units.mid(6);
    return units.trimmed();
}

// The readings as the main window shows them: one decimal, two in klux.
QString reading(const SensorLink &link, float value)
{
    if (!link.hasReadings())
        return QString();
    const bool klux = unitsText(link) == QLatin1String("klux");
    return FormatNumber(value, klux ? QStringLiteral("##0.00") : QStringLiteral("###0.0"));
}

QString modelOf(const QString &version)
{
    return version.section(QLatin1Char(' '), 0, 0);
}

// One port as a JSON object: its number, the device, the by-id name where the table
// lists it by that, the description.
QJsonObject portFacts(const PortTable &table, int number)
{
    const QString path = table.devicePath(number);
    const bool byId = path.startsWith(QLatin1String("/dev/serial/by-id/"));
    QJsonObject facts;
    facts.insert(QStringLiteral("number"), number);
    facts.insert(QStringLiteral("device"), byId ? QFileInfo(path).canonicalFilePath() : path);
    facts.insert(QStringLiteral("byId"), byId ? QJsonValue(path) : QJsonValue());
    facts.insert(QStringLiteral("description"), table.description(number));
    return facts;
}

int runPorts(const CliOptions &options, InstrumentSession &session, Console &console)
{
    const PortTable &table = session.table();
    if (table.count() == 0 && options.verbosity > 0)
        console.err << "quorvel-cli: no serial ports" << Qt::endl;
    QJsonArray ports;
    for (int number = 1; number <= table.count(); ++number) {
        QString line = QString::number(number) + QLatin1Char('\t') + table.describe(number);
        QJsonObject facts = portFacts(table, number);
        if (options.probe) {
            SensorLink &link = session.link();
            link.setCommPort(number);
            const bool opened = link.CommPort() != 0;
            const bool answered = opened && link.GetStatus();
            if (!opened)
                line += QStringLiteral("\tcannot be opened");
            else if (answered)
                line += QStringLiteral("\tanswers: ") + link.Version();
            else
                line += QStringLiteral("\tno answer");
            facts.insert(QStringLiteral("opened"), opened);
            facts.insert(QStringLiteral("answer"),
                         answered ? QJsonValue(link.Version()) : QJsonValue());
            link.setCommPort(0);
        }
        if (options.json)
            ports.append(facts);
        else
            console.out << line << Qt::endl;
    }
    if (options.json)
        console.out << QJsonDocument(ports).toJson(QJsonDocument::Compact) << Qt::endl;
    return ExitCode::Done;
}

int runStatus(const CliOptions &options, SensorLink &link, Console &console)
{
    if (!link.GetStatus())
        return Fail(console,
                    QStringLiteral("the instrument did not report its status: ") + link.Status());
    link.GetReadings();
    const QString version = link.Version();
    if (options.json) {
        QJsonObject facts;
        facts.insert(QStringLiteral("model"), modelOf(version));
        facts.insert(QStringLiteral("version"), version);
        facts.insert(QStringLiteral("serial"), link.SerialNumber());
        facts.insert(QStringLiteral("power"), link.Power());
        facts.insert(QStringLiteral("units"), unitsText(link));
        facts.insert(QStringLiteral("logStatus"), link.LogStatus());
        if (link.hasReadings()) {
            facts.insert(QStringLiteral("total"), reading(link, link.Total()).toDouble());
            facts.insert(QStringLiteral("diffuse"), reading(link, link.Diffuse()).toDouble());
            facts.insert(QStringLiteral("sun"), link.Sun());
        }
        console.out << QJsonDocument(facts).toJson(QJsonDocument::Compact) << Qt::endl;
    } else {
        console.out << "Model: " << modelOf(version) << "\nVersion: " << version
                    << "\nSerial: " << link.SerialNumber() << "\nPower: " << link.Power()
                    << "\nUnits: " << unitsText(link) << "\nLog status: " << link.LogStatus()
                    << "\nTotal: " << reading(link, link.Total())
                    << "\nDiffuse: " << reading(link, link.Diffuse())
                    << "\nSun: " << (link.hasReadings() ? (link.Sun() ? "yes" : "no") : "")
                    << Qt::endl;
    }
    return link.hasReadings() ? ExitCode::Done
                              : Fail(console, QStringLiteral("no readings: ") + link.Status());
}

int runRead(const CliOptions &options, InstrumentSession &session, Console &console,
            InterruptWatch &interrupts)
{
    SensorLink &link = session.link();
    // The units come with the status.
    if (!link.GetStatus())
        return Fail(console, QStringLiteral("the instrument did not answer: ") + link.Status());
    do {
        if (!link.GetReadings())
            return Fail(console, QStringLiteral("no readings: ") + link.Status());
        const QString time = session.clock().now().toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss"));
        if (options.json) {
            QJsonObject facts;
            facts.insert(QStringLiteral("time"), time);
            facts.insert(QStringLiteral("total"), reading(link, link.Total()).toDouble());
            facts.insert(QStringLiteral("diffuse"), reading(link, link.Diffuse()).toDouble());
            facts.insert(QStringLiteral("sun"), link.Sun());
            facts.insert(QStringLiteral("units"), unitsText(link));
            console.out << QJsonDocument(facts).toJson(QJsonDocument::Compact) << Qt::endl;
        } else {
            console.out << time << ',' << reading(link, link.Total()) << ','
                        << reading(link, link.Diffuse()) << ',' << (link.Sun() ? 1 : 0) << ','
                        << unitsText(link) << Qt::endl;
        }
    } while (options.watch && interrupts.sleep(options.watchSeconds));
    return interrupts.interrupted() ? ExitCode::Interrupted : ExitCode::Done;
}

int runUnits(const CliOptions &options, SensorLink &link, Console &console)
{
    if (!link.GetStatus())
        return Fail(console, QStringLiteral("the instrument did not answer: ") + link.Status());
    ConsolePrompts prompts(console.err);
    UnitsChoiceView view;
    DisplayPoll poll(link, prompts);
    poll.setView(view);
    poll.chooseUnits(options.unitsIndex);
    if (view.selected != options.unitsIndex || !view.bold)
        return Fail(console, view.status);
    if (options.verbosity > 0)
        console.err << view.caption.mid(QStringLiteral("Reading ").size()) << Qt::endl;
    return ExitCode::Done;
}

// Connects to the instrument; with --wait-for-device tries again every second until it
// answers or a signal comes.
bool connect(const CliOptions &options, InstrumentSession &session, Console &console,
             InterruptWatch &interrupts, QString &error)
{
    bool told = false;
    while (!session.connect(error)) {
        if (!options.waitForDevice)
            return false;
        if (!told && options.verbosity > 0)
            console.err << "quorvel-cli: waiting for the instrument (" << error << ")" << Qt::endl;
        told = true;
        if (!interrupts.sleep(1.0))
            return false;
    }
    return true;
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
        else if (!connect(options, session, console, interrupts, error))
            result = interrupts.interrupted() ? ExitCode::Interrupted : Fail(console, error);
        else if (options.command == QLatin1String("status"))
            result = runStatus(options, session.link(), console);
        else if (options.command == QLatin1String("read"))
            result = runRead(options, session, console, interrupts);
        else if (options.command == QLatin1String("units"))
            result = runUnits(options, session.link(), console);
        else if (options.command == QLatin1String("log"))
            result = RunLogCommand(options, session, console, interrupts);
        else if (options.command == QLatin1String("logger"))
            result = RunLoggerCommand(options, session, console, interrupts);
    }
    if (!options.traceFile.isEmpty())
        StopLinkTrace();
    return result;
}
