#include "cli/LoggerCommands.h"

#include "cli/ExitCode.h"
#include "cli/InstrumentSession.h"
#include "cli/InterruptWatch.h"
#include "common/DateTimeDays.h"
#include "logger/DatasetDownload.h"
#include "logger/LoggerControl.h"
#include "logger/LoggerDetailsReader.h"
#include "logger/LoggerPackets.h"
#include "logger/LoggingStart.h"
#include "logger/MemoryBar.h"
#include "logger/MemoryEstimate.h"
#include "logger/PeriodLists.h"

#include <QJsonDocument>
#include <QJsonObject>

#include <unistd.h>

namespace {

constexpr int RetryPauseSeconds = 10;

qint32 periodSeconds(const QList<PeriodEntry> &entries, const QString &text)
{
    for (const PeriodEntry &entry : entries) {
        if (entry.text == text)
            return entry.seconds;
    }
    return 0;
}

// The download's progress on standard error while it is a terminal, each on the same
// line; a signal asks the download to stop as the dialog's cancel button does.
class ConsoleDownloadView : public DownloadView
{
public:
    ConsoleDownloadView(Console &console, InterruptWatch &interrupts, bool verbose)
        : m_console(console), m_interrupts(interrupts),
          m_progress(verbose && ::isatty(STDERR_FILENO) == 1)
    {}
    ~ConsoleDownloadView() override
    {
        if (m_shown)
            m_console.err << Qt::endl;
    }

    void ShowProgress(const QString &strInfo, float fractionDone) override
    {
        if (!m_progress)
            return;
        m_shown = true;
        const int percent = static_cast<int>(std::min(fractionDone, 1.0f) * 100);
        m_console.err << '\r' << QString(strInfo).replace(QLatin1String("\r\n"), QLatin1String(" "))
                      << ' ' << percent << "%\x1b[K" << Qt::flush;
    }
    bool cancelRequested() const override { return m_interrupts.interrupted(); }
    void showStatus(const QString &text) override { m_status = text; }

private:
    Console &m_console;
    InterruptWatch &m_interrupts;
    bool m_progress;
    bool m_shown = false;
    QString m_status;
};

void printDetails(const CliOptions &options, const LoggerDetailsView &view,
                  const LoggerState &state, const QDateTime &now, Console &console)
{
    const QStringList names = view.namesColumn.split(QStringLiteral("\r\n"));
    const QStringList values = view.valuesColumn.split(QStringLiteral("\r\n"));
    QList<QPair<QString, QString>> facts;
    for (int i = 0; i < names.size(); ++i) {
        QString name = names.at(i).trimmed();
        if (name.endsWith(QLatin1Char(':')))
            name.chop(1);
        if (!name.isEmpty())
            facts.append({name, values.value(i).trimmed()});
    }
    facts.append({QStringLiteral("Logger time"), view.loggerTimeText});
    facts.append({QStringLiteral("Clock offset (s)"),
                  QString::number(qRound64(DaysToSeconds(state.ClockOffset)))});
    facts.append({QStringLiteral("Logging"),
                  state.logging() ? QStringLiteral("yes") : QStringLiteral("no")});
    facts.append({QStringLiteral("Next record"), view.nextRecordText});
    facts.append({QStringLiteral("First record"), view.firstRecordText});
    facts.append({QStringLiteral("Last record"), view.lastRecordText.value_or(QString())});
    facts.append({QStringLiteral("Last retrieved"), view.retrievedText});
    facts.append({QStringLiteral("Records logged"), QString::number(state.RecordsLogged)});
    facts.append({QStringLiteral("Records retrieved"), QString::number(state.RecordsRetrieved)});
    // The memory bar's two parts, downloaded and not, on a scale of 100.
    const MemoryBar::Layout bar =
        MemoryBar::compute(state.MemoryBlocks, state.RecordsRetrieved, state.RecordsLogged, 100);
    if (bar.drawn)
        facts.append({QStringLiteral("Memory used (%)"),
                      QString::number(bar.bar1Width + bar.bar2Width, 'f', 1)});
    const MemoryFullEstimate full = CalculateMemoryFull(state, now);
    if (full.kind != MemoryFullEstimate::Kind::None)
        facts.append({full.kind == MemoryFullEstimate::Kind::Logging
                          ? full.caption.trimmed().remove(QLatin1Char(':'))
                          : QStringLiteral("Estimated memory full"),
                      full.text()});
    if (options.json) {
        QJsonObject object;
        for (const auto &fact : facts)
            object.insert(fact.first, fact.second);
        console.out << QJsonDocument(object).toJson(QJsonDocument::Compact) << Qt::endl;
        return;
    }
    for (const auto &fact : facts)
        console.out << fact.first << ": " << fact.second << '\n';
    console.out << Qt::flush;
}

int download(const CliOptions &options, InstrumentSession &session, const LoggerState &state,
             Console &console, InterruptWatch &interrupts)
{
    DatasetDownload transfer(session.link(), session.clock(), session.pump());
    DownloadRequest request;
    request.bAll = options.from == QLatin1String("all");
    request.bStart = options.from == QLatin1String("start");
    request.strFile = DatedPath(options.output, session.clock().now().date());
    ConsoleDownloadView view(console, interrupts, options.verbosity > 0);
    const double startedAt = session.clock().monotonicSeconds();
    const DownloadOutcome outcome = transfer.DownloadAll(state, state.overwrite(), request, view);
    const double seconds = session.clock().monotonicSeconds() - startedAt;
    if (!outcome.statusText().isEmpty())
        console.err << "quorvel-cli: " << outcome.statusText() << Qt::endl;
    if (options.verbosity > 0)
        console.err << outcome.recordsWritten << " records written to " << request.strFile
                    << Qt::endl;
    if (options.verbosity > 1)
        console.err << outcome.blocksRead << " blocks in " << QString::number(seconds, 'f', 2)
                    << " s" << Qt::endl;
    using End = DownloadOutcome::End;
    switch (outcome.end) {
    case End::Finished:
        return ExitCode::Done;
    case End::Cancelled:
        return ExitCode::Interrupted;
    case End::FileNotCreated:
        return Fail(console,
                    QStringLiteral("cannot write ") + request.strFile + QStringLiteral(": ") +
                        outcome.fileError,
                    ExitCode::FileFailed);
    case End::WriteFailed:
        return ExitCode::FileFailed;
    default:
        return ExitCode::InstrumentFailed;
    }
}

} // namespace

int RunLoggerCommand(const CliOptions &options, InstrumentSession &session, Console &console,
                     InterruptWatch &interrupts)
{
    SensorLink &link = session.link();
    LoggerPackets packets(link);
    LoggerDetailsReader reader(link, session.clock(), packets);
    LoggerState state;
    const LoggerDetailsView details = reader.read(state);
    if (!details.clockRead || !link.Connected())
        return Fail(console, QStringLiteral("the logger did not answer: ") + details.statusText);
    const QString &command = options.subcommand;
    if (command == QLatin1String("info")) {
        printDetails(options, details, state, session.clock().now(), console);
        return ExitCode::Done;
    }
    if (command == QLatin1String("download")) {
        int result = download(options, session, state, console, interrupts);
        // The position did not move: the same records are fetched again into a new file.
        for (int retry = 1; retry <= options.retries && result == ExitCode::InstrumentFailed;
             ++retry) {
            if (options.verbosity > 0)
                console.err << "quorvel-cli: trying again in " << RetryPauseSeconds << " s ("
                            << retry << " of " << options.retries << ")" << Qt::endl;
            if (!interrupts.sleep(RetryPauseSeconds))
                return ExitCode::Interrupted;
            state = LoggerState();
            reader.read(state);
            result = download(options, session, state, console, interrupts);
        }
        return result;
    }

    LoggerControl control(link);
    bool done = false;
    const double computerNow = DateTimeToDays(session.clock().now());
    if (command == QLatin1String("set-clock")) {
        done = control.SetLoggerTime(options.time.isValid() ? DateTimeToDays(options.time)
                                                            : computerNow);
    } else if (command == QLatin1String("stop")) {
        done = control.StopLogging();
    } else if (command == QLatin1String("start")) {
        if (!options.readingPeriod.isEmpty()) {
            state.LogPeriod = periodSeconds(PeriodLists::readingPeriods(), options.readingPeriod);
            state.AvgPeriod =
                options.avgPeriod.isEmpty()
                    ? state.LogPeriod
                    : periodSeconds(PeriodLists::averagePeriodsFrom(0), options.avgPeriod);
        }
        const double start =
            options.at.isValid()
                ? DateTimeToDays(options.at)
                : LoggingStart::DefaultStart(computerNow + state.ClockOffset, state.AvgPeriod)
                      .start();
        done = control.StartLogging(state, options.overwrite || state.overwrite(), start);
    }
    return done ? ExitCode::Done
                : Fail(console, QStringLiteral("the logger refused ") + command +
                                    QStringLiteral(": ") + link.Status());
}
