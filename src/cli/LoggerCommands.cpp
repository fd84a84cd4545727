#include "cli/LoggerCommands.h"

#include "cli/ExitCode.h"
#include "cli/InstrumentSession.h"
#include "cli/InterruptWatch.h"
#include "cli/StationPublishing.h"
#include "common/DateTimeDays.h"
#include "logger/DatasetDownload.h"
#include "logger/LoggerControl.h"
#include "logger/LoggerDetailsReader.h"
#include "logger/LoggerPackets.h"
#include "logger/LoggingStart.h"
#include "logger/MemoryBar.h"
#include "logger/MemoryEstimate.h"
#include "logger/PeriodLists.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>

#include <unistd.h>

namespace {

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
                  const LoggerState &state, double clockOffset, const QDateTime &now,
                  Console &console)
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
                  QString::number(qRound64(DaysToSeconds(clockOffset)))});
    facts.append({QStringLiteral("Logging"),
                  state.logging() ? QStringLiteral("yes") : QStringLiteral("no")});
    facts.append({QStringLiteral("Next record"), view.nextRecordText});
    facts.append({QStringLiteral("First record"), view.firstRecordText});
    facts.append({QStringLiteral("Last record"), view.lastRecordText});
    facts.append({QStringLiteral("Last retrieved"), view.retrievedText});
    facts.append({QStringLiteral("Records logged"), QString::number(state.RecordsLogged)});
    facts.append({QStringLiteral("Records retrieved"), QString::number(state.RecordsRetrieved)});
    // The memory bar's two parts, downloaded and not, on a scale of 100.
    const MemoryBar::Layout bar =
        MemoryBar::compute(state.MemoryBlocks, state.RecordsRetrieved, state.RecordsLogged, 100);
    if (bar.drawn)
        facts.append({QStringLiteral("Memory used (%)"),
                      QString::number(bar.bar1Width + bar.bar2Width, 'f', 1)});
    const MemoryFullEstimate full = CalculateMemoryFull(state, clockOffset, now);
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

// After a download, its records are given this long to reach the broker.
constexpr int DownloadPublishingMs = 30000;

// The download of one run of the command, which may take several transfers: after one
// abandoned half way the next goes on from the last record in the file.
class ConsoleDownload
{
public:
    ConsoleDownload(const CliOptions &options, const LoggerLine &session, Console &console,
                    InterruptWatch &interrupts)
        : m_options(options), m_session(session), m_console(console), m_interrupts(interrupts),
          m_transfer(session.link, session.clock, session.pump)
    {
        m_request.bAll = options.from == QLatin1String("all");
        m_request.bStart = options.from == QLatin1String("start");
        m_request.strFile = DatedPath(options.output, session.clock.now().date());
    }

    int run(const LoggerState &state);
    // Gets the logger ready to go on after the last record in the file: its download
    // position moved there (as a cancel does), so that the records after it are "new".
    // Without a record to go on from (or for a whole-memory download) the next run starts
    // afresh. False when the logger does not answer.
    bool prepareToGoOn();
    const QString &path() const { return m_request.strFile; }

private:
    const CliOptions &m_options;
    LoggerLine m_session;
    Console &m_console;
    InterruptWatch &m_interrupts;
    DatasetDownload m_transfer;
    DownloadRequest m_request;
    DownloadOutcome m_outcome;
};

bool ConsoleDownload::prepareToGoOn()
{
    if (m_request.bAll || !m_outcome.lastWritten)
        return true;
    m_request.bStart = false;
    m_request.bContinue = true;
    return LoggerControl(m_session.link)
        .SetDownloadPointer(m_outcome.lastWritten->block, m_outcome.lastWritten->offset);
}

int ConsoleDownload::run(const LoggerState &state)
{
    ConsoleDownloadView view(m_console, m_interrupts, m_options.verbosity > 0);
    const double startedAt = m_session.clock.monotonicSeconds();
    m_outcome = m_transfer.DownloadAll(state, state.overwrite(), m_request, view);
    const double seconds = m_session.clock.monotonicSeconds() - startedAt;
    if (!m_outcome.statusText().isEmpty())
        m_console.err << "quorvel-cli: " << m_outcome.statusText() << Qt::endl;
    if (m_options.verbosity > 0)
        m_console.err << m_outcome.recordsWritten << " records written to " << m_request.strFile
                      << Qt::endl;
    if (m_options.verbosity > 1)
        m_console.err << m_outcome.blocksRead << " blocks in " << QString::number(seconds, 'f', 2)
                      << " s" << Qt::endl;
    using End = DownloadOutcome::End;
    switch (m_outcome.end) {
    case End::Finished:
        // Every record is in the file, but a logger that did not take its new download
        // position sends them again next time.
        return m_outcome.pointer && !m_outcome.pointerConfirmed ? ExitCode::InstrumentFailed
                                                                : ExitCode::Done;
    case End::Cancelled:
        return ExitCode::Interrupted;
    case End::FileNotCreated:
        return Fail(m_console,
                    QStringLiteral("cannot write ") + m_request.strFile + QStringLiteral(": ") +
                        m_outcome.fileError,
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
    return RunLoggerCommand(options, LoggerLine{session.link(), session.clock(), session.pump()},
                            console, interrupts);
}

int RunLoggerCommand(const CliOptions &options, const LoggerLine &session, Console &console,
                     InterruptWatch &interrupts)
{
    SensorLink &link = session.link;
    LoggerPackets packets(link);
    LoggerDetailsReader reader(link, session.clock, packets);
    LoggerDetails details;
    const LoggerDetailsView view = reader.read(details);
    const QString unknownProgram = QStringLiteral("could not read the logger's program: ");
    const QString &command = options.subcommand;
    // Its details, its counts and starting it rest on the program; the download, which
    // can read it again, goes on below.
    if (!details.known() && (command == QLatin1String("info") || command == QLatin1String("start")))
        return Fail(console, unknownProgram + details.logger.failure);
    if (command != QLatin1String("download") && (!details.clockOffset || !link.Connected()))
        return Fail(console, QStringLiteral("the logger did not answer: ") + view.statusText);
    if (command == QLatin1String("info")) {
        printDetails(options, view, *details.logger.value, *details.clockOffset,
                     session.clock.now(), console);
        return ExitCode::Done;
    }
    if (command == QLatin1String("download")) {
        QString publishError;
        const auto publishing =
            StationPublishing::Start(options, link.SerialNumber(), console, publishError);
        if (!publishing && !publishError.isEmpty())
            return Fail(console, publishError);
        ConsoleDownload transfer(options, session, console, interrupts);
        // Nothing is written and the logger's position is not moved until its details
        // have been read whole; a failed read is tried again as a failed transfer is.
        int result = ExitCode::InstrumentFailed;
        if (details.known())
            result = transfer.run(*details.logger.value);
        else if (options.verbosity > 0 || options.retries == 0)
            Fail(console, unknownProgram + details.logger.failure);
        for (int retry = 1; retry <= options.retries && result == ExitCode::InstrumentFailed;
             ++retry) {
            if (options.verbosity > 0)
                console.err << "quorvel-cli: trying again in " << options.retryWaitSeconds << " s ("
                            << retry << " of " << options.retries << ")" << Qt::endl;
            if (!interrupts.sleep(options.retryWaitSeconds))
                return ExitCode::Interrupted;
            // An adapter unplugged and back: its port opens again.
            if (link.CommPort() == 0)
                link.reopenLostPort();
            details = LoggerDetails();
            if (!link.Connect() || !transfer.prepareToGoOn())
                continue;
            reader.read(details);
            if (!details.known()) {
                if (options.verbosity > 0 || retry == options.retries)
                    Fail(console, unknownProgram + details.logger.failure);
                continue;
            }
            result = transfer.run(*details.logger.value);
        }
        // The records written, whole or in part, go to the broker from the file.
        if (!publishing || !QFile::exists(transfer.path()))
            return result;
        publishing->follow(transfer.path());
        const bool published = publishing->finish(DownloadPublishingMs);
        return result != ExitCode::Done || published ? result : ExitCode::InstrumentFailed;
    }

    LoggerControl control(link);
    bool done = false;
    const double computerNow = DateTimeToDays(session.clock.now());
    if (command == QLatin1String("set-clock")) {
        done = control.SetLoggerTime(options.time.isValid() ? DateTimeToDays(options.time)
                                                            : computerNow);
    } else if (command == QLatin1String("stop")) {
        done = control.StopLogging();
    } else if (command == QLatin1String("start")) {
        LoggerState &state = *details.logger.value;
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
                : LoggingStart::DefaultStart(computerNow + *details.clockOffset, state.AvgPeriod)
                      .start();
        done = control.StartLogging(state, options.overwrite || state.overwrite(), start);
    }
    return done ? ExitCode::Done
                : Fail(console, QStringLiteral("the logger refused ") + command +
                                    QStringLiteral(": ") + link.Status());
}
