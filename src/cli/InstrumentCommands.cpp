#include "cli/InstrumentCommands.h"

#include "cli/AppendingLogFile.h"
#include "cli/ConsoleLogging.h"
#include "cli/ConsolePrompts.h"
#include "cli/ExitCode.h"
#include "cli/InstrumentSession.h"
#include "cli/InterruptWatch.h"
#include "cli/LoggerCommands.h"
#include "cli/OutputFileDialogs.h"
#include "cli/UnitsChoiceView.h"
#include "common/NumberFormat.h"
#include "display/DisplayPoll.h"
#include "link/LinkTrace.h"
#include "pclog/LoggingRun.h"

#include <QEventLoop>
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

int fail(Console &console, const QString &text, int code = ExitCode::InstrumentFailed)
{
    console.err << "quorvel-cli: " << text << Qt::endl;
    return code;
}

int runPorts(const CliOptions &options, InstrumentSession &session, Console &console)
{
    const PortTable &table = session.table();
    if (table.count() == 0 && options.verbosity > 0)
        console.err << "quorvel-cli: no serial ports" << Qt::endl;
    for (int number = 1; number <= table.count(); ++number) {
        QString line = QString::number(number) + QLatin1Char('\t') + table.describe(number);
        if (options.probe) {
            SensorLink &link = session.link();
            link.setCommPort(number);
            if (link.CommPort() == 0)
                line += QStringLiteral("\tcannot be opened");
            else if (link.GetStatus())
                line += QStringLiteral("\tanswers: ") + link.Version();
            else
                line += QStringLiteral("\tno answer");
            link.setCommPort(0);
        }
        console.out << line << Qt::endl;
    }
    return ExitCode::Done;
}

int runStatus(const CliOptions &options, SensorLink &link, Console &console)
{
    if (!link.GetStatus())
        return fail(console,
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
                              : fail(console, QStringLiteral("no readings: ") + link.Status());
}

int runRead(const CliOptions &options, InstrumentSession &session, Console &console,
            InterruptWatch &interrupts)
{
    SensorLink &link = session.link();
    // The units come with the status.
    if (!link.GetStatus())
        return fail(console, QStringLiteral("the instrument did not answer: ") + link.Status());
    do {
        if (!link.GetReadings())
            return fail(console, QStringLiteral("no readings: ") + link.Status());
        const QString time = session.clock().now().toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss"));
        console.out << time << ',' << reading(link, link.Total()) << ','
                    << reading(link, link.Diffuse()) << ',' << (link.Sun() ? 1 : 0) << ','
                    << unitsText(link) << Qt::endl;
    } while (options.watch && interrupts.sleep(options.watchSeconds));
    return interrupts.interrupted() ? ExitCode::Interrupted : ExitCode::Done;
}

int runUnits(const CliOptions &options, SensorLink &link, Console &console)
{
    if (!link.GetStatus())
        return fail(console, QStringLiteral("the instrument did not answer: ") + link.Status());
    ConsolePrompts prompts(console.err);
    UnitsChoiceView view;
    DisplayPoll poll(link, prompts);
    poll.setView(view);
    poll.chooseUnits(options.unitsIndex);
    if (view.selected != options.unitsIndex || !view.bold)
        return fail(console, view.status);
    if (options.verbosity > 0)
        console.err << view.caption.mid(QStringLiteral("Reading ").size()) << Qt::endl;
    return ExitCode::Done;
}

int runLog(const CliOptions &options, InstrumentSession &session, Console &console,
           InterruptWatch &interrupts)
{
    SensorLink &link = session.link();
    // The heading and the file's header name the model, its serial number and units.
    if (!link.GetStatus())
        return fail(console, QStringLiteral("the instrument did not answer: ") + link.Status());
    Clock &clock = session.clock();
    QString path = DatedPath(options.output, clock.now().date());
    OutputFileDialogs dialogs(path);
    ConsoleLoggingView view(options, console.out, console.err);
    LoggingRun run(link, clock, dialogs,
                   options.append ? LogFileWriter::Opener(AppendingLogFile::Open)
                                  : LogFileWriter::Opener(LogFileWriter::OpenReplacingFile));
    run.setView(view);

    QEventLoop loop;
    QObject::connect(&view.timer(), &QTimer::timeout, &loop, [&] {
        // The timer comes round again inside a tick that lets events run: that tick has
        // the run in hand.
        if (run.InTick())
            return;
        // An unplugged adapter that is back: its port opens again and the run's next
        // tick shakes hands, as after any silence.
        if (link.CommPort() == 0)
            link.reopenLostPort();
        run.Tick();
        // A new day under a dated name: the day's last line is in the old file, the new
        // file starts with its header.
        const QString today = DatedPath(options.output, clock.now().date());
        if (run.IsLogging() && today != path) {
            run.Stop();
            dialogs.setPath(path = today);
            run.Start();
        }
        if (!view.timerEnabled() || view.fileFailed())
            loop.quit();
    });
    // A signal stops the timer: a tick in progress ends after its reading, with whole
    // lines only, and the loop ends after it.
    QObject::connect(&interrupts, &InterruptWatch::interruptedNow, &loop, [&] {
        view.stopTimer();
        loop.quit();
    });
    QTimer duration;
    duration.setSingleShot(true);
    QObject::connect(&duration, &QTimer::timeout, &loop, [&] {
        view.stopTimer();
        loop.quit();
    });
    run.Start();
    if (view.fileFailed()) {
        run.Stop();
        return fail(console, QStringLiteral("cannot write ") + path, ExitCode::FileFailed);
    }
    if (run.IsLogging() && view.timerEnabled() && !interrupts.interrupted()) {
        if (options.durationSeconds > 0)
            duration.start(static_cast<int>(
                std::min<qint64>(options.durationSeconds * 1000, std::numeric_limits<int>::max())));
        loop.exec();
    }
    run.Stop();
    if (view.fileFailed())
        return ExitCode::FileFailed;
    if (interrupts.interrupted())
        return ExitCode::Interrupted;
    // The run refused to start or stopped on a failure of the instrument.
    if (options.durationSeconds == 0 || duration.isActive())
        return ExitCode::InstrumentFailed;
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

int RunCliCommand(const CliOptions &options, Console &console, InterruptWatch &interrupts)
{
    QString error;
    if (!options.traceFile.isEmpty() && !StartLinkTrace(options.traceFile, error))
        return fail(console, QStringLiteral("cannot write the trace: ") + error,
                    ExitCode::FileFailed);
    int result = ExitCode::Done;
    {
        InstrumentSession session(options);
        if (!session.prepare(error))
            result = fail(console, error);
        else if (options.command == QLatin1String("ports"))
            result = runPorts(options, session, console);
        else if (!connect(options, session, console, interrupts, error))
            result = interrupts.interrupted() ? ExitCode::Interrupted : fail(console, error);
        else if (options.command == QLatin1String("status"))
            result = runStatus(options, session.link(), console);
        else if (options.command == QLatin1String("read"))
            result = runRead(options, session, console, interrupts);
        else if (options.command == QLatin1String("units"))
            result = runUnits(options, session.link(), console);
        else if (options.command == QLatin1String("log"))
            result = runLog(options, session, console, interrupts);
        else if (options.command == QLatin1String("logger"))
            result = RunLoggerCommand(options, session, console, interrupts);
    }
    if (!options.traceFile.isEmpty())
        StopLinkTrace();
    return result;
}
