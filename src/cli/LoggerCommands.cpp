// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/LoggerCommands.h"

#include "cli/DownloadTarget.h"
#include "cli/ExitCode.h"
#include "cli/InstrumentSession.h"
#include "cli/InterruptWatch.h"
#include "cli/Journal.h"
#include "cli/JsonContract.h"
#include "cli/LinkWait.h"
#include "cli/StationPublishing.h"
#include "common/DataFileText.h"
#include "common/DateTimeDays.h"
#include "link/InstrumentModel.h"
#include "logger/DatasetDownload.h"
#include "logger/LoggerControl.h"
#include "logger/LoggerDetailsReader.h"
#include "logger/LoggerPackets.h"
#include "logger/LoggingStart.h"
#include "logger/MemoryBar.h"
#include "logger/MemoryEstimate.h"
#include "logger/PeriodLists.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>

#include <cmath>

#include <unistd.h>

namespace {

// The logger window's questions, as the refusals' messages (one line each).
const QString ChangeTimeWhileLogging =
    QStringLiteral("If you adjust the time while logging, your dataset may show gaps or repeat "
                   "readings. Are you sure you want to change the time? (--force sets it)");
const QString StartWithDataNotDownloaded =
    QStringLiteral("You have not downloaded all your data. This may be deleted if you start "
                   "logging now. Are you sure you want to continue? (--force starts it)");

// Reads the logger's details, waiting for the read's end. A read the link's requests
// ended without leaves the details unknown, with that reason.
LoggerDetailsView readDetails(const LoggerLine &line, LoggerDetailsReader &reader,
                              LoggerDetails &details)
{
    using Found = std::pair<LoggerDetailsView, LoggerDetails>;
    const LinkAnswer<Found> answer;
    reader.read([take = answer.taker()](const LoggerDetailsView &view, const LoggerDetails &found) {
        take({view, found});
    });
    const std::optional<Found> found = answer.wait(line.link, line.runEvents);
    if (!found) {
        details = LoggerDetails();
        details.logger = ParsedReply<LoggerState>::refused(
            QStringLiteral("the link's requests ended before the read"));
        return {};
    }
    details = found->second;
    return found->first;
}

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

void printDetails(const CliOptions &options, const SensorLink &link, const LoggerDetailsView &view,
                  const LoggerDetails &details, const QDateTime &now, Console &console)
{
    if (options.json) {
        console.out << QJsonDocument(JsonContract::LoggerFacts(link, details, now))
                           .toJson(QJsonDocument::Compact)
                    << Qt::endl;
        return;
    }
    const LoggerState &state = *details.logger.value;
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
    facts.append(
        {QStringLiteral("Clock offset (s)"),
         details.clockOffset
             ? QString::number(JsonContract::ClockOffsetSeconds(*details.clockOffset), 'f', 1)
             : QString()});
    facts.append({QStringLiteral("Logging"),
                  state.logging() ? QStringLiteral("yes") : QStringLiteral("no")});
    facts.append({QStringLiteral("Next record"), view.nextRecordText});
    facts.append({QStringLiteral("First record"), view.firstRecordText});
    facts.append({QStringLiteral("Last record"), view.lastRecordText});
    facts.append({QStringLiteral("Last retrieved"), view.retrievedText});
    facts.append({QStringLiteral("Records logged"),
                  (state.recordsLoggedAtMost() ? QStringLiteral("at most ") : QString()) +
                      QString::number(state.RecordsLogged)});
    facts.append({QStringLiteral("Records retrieved"), QString::number(state.RecordsRetrieved)});
    // The memory bar's two parts, downloaded and not, on a scale of 100.
    const MemoryBar::Layout bar =
        MemoryBar::compute(state.MemoryBlocks, state.RecordsRetrieved, state.RecordsLogged, 100);
    if (bar.drawn)
        facts.append({QStringLiteral("Memory used (%)"),
                      QString::number(bar.bar1Width + bar.bar2Width, 'f', 1)});
    const MemoryFullEstimate full = CalculateMemoryFull(state, details.clockOffset, now);
    if (full.kind != MemoryFullEstimate::Kind::None)
        facts.append({!full.caption.isEmpty() ? full.caption.trimmed().remove(QLatin1Char(':'))
                                              : QStringLiteral("Estimated memory full"),
                      full.text()});
    for (const auto &fact : facts)
        console.out << fact.first << ": " << fact.second << '\n';
    console.out << Qt::flush;
}

// The download of one run of the command, which may take several transfers: after one
// abandoned half way the next goes on from the last record in the file.
class ConsoleDownload
{
public:
    ConsoleDownload(const CliOptions &options, const LoggerLine &session, Console &console,
                    InterruptWatch &interrupts)
        : m_options(options), m_session(session), m_console(console), m_interrupts(interrupts),
          m_transfer(session.link, session.clock),
          m_target(DatedPath(options.output, session.clock.now().date()))
    {
        m_request.bAll = options.from == QLatin1String("all");
        m_request.bStart = options.from == QLatin1String("start");
        m_request.layoutName = m_target.path();
        m_request.isoTimes = options.isoTimes;
    }

    // An existing FILE or FILE.part that is another instrument's is left alone.
    bool checkTarget(QString &error);
    int run(const LoggerState &state);
    // After the last transfer: the records into FILE when `result` says it ended well,
    // kept in FILE.part otherwise.
    int conclude(int result);
    // Gets the logger ready to go on after the last record in the file: its download
    // position moved there (as a cancel does), so that the records after it are "new".
    // Without a record to go on from (or for a whole-memory download) the next run starts
    // afresh. False when the logger does not answer.
    bool prepareToGoOn();
    // The file the records are in after conclude(): FILE when it ended well, FILE.part
    // otherwise.
    QString path() const { return m_concluded ? m_target.path() : m_target.partPath(); }

private:
    const CliOptions &m_options;
    LoggerLine m_session;
    Console &m_console;
    InterruptWatch &m_interrupts;
    DatasetDownload m_transfer;
    DownloadTarget m_target;
    DownloadRequest m_request;
    DownloadOutcome m_outcome;
    int m_written = 0;
    bool m_concluded = false;
};

bool ConsoleDownload::checkTarget(QString &error)
{
    const SensorLink &link = m_session.link;
    const bool ok =
        m_target.check(DataFileFirstLine(LogFileModelWord(link.Version()),
                                         QStringLiteral("Data file "), m_session.clock.now()),
                       DataFileSecondLine(link.Version(), link.SerialNumber()), error);
    m_request.strFile = m_target.transferPath();
    if (ok && m_target.continuesPart() && m_options.verbosity > 0)
        Journal(m_console.err, m_session.clock, m_options.verbosity)
            .event(QStringLiteral("continuing ") + m_target.partPath() +
                   QStringLiteral(", which an earlier run left unfinished"));
    return ok;
}

int ConsoleDownload::conclude(int result)
{
    int skipped = 0;
    QString error;
    const bool ended = result == ExitCode::Done;
    if (!(ended ? m_target.finish(skipped, error) : m_target.keep(skipped, error)))
        return Fail(m_console, error, ExitCode::FileFailed);
    m_concluded = ended;
    if (m_options.verbosity > 0) {
        m_console.err << (m_written - skipped) << " records written to "
                      << (ended ? m_target.path() : m_target.partPath()) << Qt::endl;
        if (skipped > 0)
            m_console.err << skipped << " records already there were not written again" << Qt::endl;
    }
    return result;
}

bool ConsoleDownload::prepareToGoOn()
{
    if (m_request.bAll || !m_outcome.lastWritten)
        return true;
    m_request.bStart = false;
    m_request.bContinue = true;
    LoggerControl control(m_session.link);
    const LinkAnswer<ParsedReply<QByteArray>> set;
    control.requestSetDownloadPointer(m_outcome.lastWritten->block, m_outcome.lastWritten->offset,
                                      set.taker());
    const std::optional<ParsedReply<QByteArray>> reply =
        set.wait(m_session.link, m_session.runEvents);
    return reply && reply->ok();
}

int ConsoleDownload::run(const LoggerState &state)
{
    ConsoleDownloadView view(m_console, m_interrupts, m_options.verbosity > 0);
    const double startedAt = m_session.clock.monotonicSeconds();
    bool over = false;
    if (m_transfer.start(state, state.overwrite(), m_request, view,
                         [this, &over](const DownloadOutcome &outcome) {
                             m_outcome = outcome;
                             over = true;
                         }))
        m_session.runUntil([&over] { return over; });
    const double seconds = m_session.clock.monotonicSeconds() - startedAt;
    m_written += m_outcome.recordsWritten;
    SensorLink &link = m_session.link;
    // A device that went away is named as such, not as a run of data errors.
    if (m_outcome.end == DownloadOutcome::End::Abandoned && link.CommPort() == 0)
        Journal(m_console.err, m_session.clock, m_options.verbosity)
            .error(QStringLiteral("the device vanished during the download (") +
                   m_session.describe(link.Status()) +
                   QStringLiteral(") - the logger's download position was not moved"));
    else if (!m_outcome.statusText().isEmpty())
        m_console.err << "quorvel-cli: " << m_outcome.statusText() << Qt::endl;
    if (m_options.verbosity > 1)
        m_console.err << m_outcome.recordsWritten << " records, " << m_outcome.blocksRead
                      << " blocks in " << QString::number(seconds, 'f', 2) << " s" << Qt::endl;
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

namespace {

// After a download, its records are given this long to reach the broker.
constexpr int DownloadPublishingMs = 30000;

const QString UnknownProgram = QStringLiteral("could not read the logger's program: ");

// The download, after a first read of the logger's details. Nothing is written and the
// logger's position is not moved until its details have been read whole; a failed read
// is tried again, up to --retry times, as an abandoned transfer is.
int runDownload(const CliOptions &options, const LoggerLine &session, Console &console,
                InterruptWatch &interrupts, LoggerDetailsReader &reader, LoggerDetails &details)
{
    SensorLink &link = session.link;
    QString error;
    const auto publishing = StationPublishing::Start(options, link.SerialNumber(), console, error);
    if (!publishing && !error.isEmpty())
        return Fail(console, error);
    ConsoleDownload transfer(options, session, console, interrupts);
    if (!transfer.checkTarget(error))
        return Fail(console, error, ExitCode::FileFailed);
    Journal journal(console.err, session.clock, options.verbosity);
    int result = ExitCode::InstrumentFailed;
    if (details.known() && link.Connected())
        result = transfer.run(*details.logger.value);
    else if (options.verbosity > 0 || options.retries == 0)
        Fail(console, UnknownProgram + session.describe(details.logger.failure));
    for (int retry = 1; retry <= options.retries && result == ExitCode::InstrumentFailed; ++retry) {
        journal.event(QStringLiteral("trying again in %1 s (%2 of %3)")
                          .arg(options.retryWaitSeconds)
                          .arg(retry)
                          .arg(options.retries));
        if (!interrupts.sleep(options.retryWaitSeconds))
            return transfer.conclude(ExitCode::Interrupted);
        // An adapter unplugged and back: its port opens again.
        if (link.CommPort() == 0)
            link.reopenLostPort();
        details = LoggerDetails();
        const LinkAnswer<bool> connected;
        link.requestConnect(connected.taker());
        if (!connected.wait(link, session.runEvents).value_or(false) || !transfer.prepareToGoOn())
            continue;
        readDetails(session, reader, details);
        if (!details.known()) {
            if (options.verbosity > 0 || retry == options.retries)
                Fail(console, UnknownProgram + session.describe(details.logger.failure));
            continue;
        }
        result = transfer.run(*details.logger.value);
    }
    result = transfer.conclude(result);
    // The records written, whole or in part, go to the broker from the file.
    if (!publishing || !QFile::exists(transfer.path()))
        return result;
    publishing->follow(transfer.path());
    const bool published = publishing->finish(DownloadPublishingMs);
    return result != ExitCode::Done || published ? result : ExitCode::InstrumentFailed;
}

} // namespace

void LoggerLine::runUntil(const std::function<bool()> &over) const
{
    if (runEvents) {
        runEvents(over);
        return;
    }
    // The command's own event loop, at the top of the command.
    while (!over())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
}

int RunLoggerCommand(const CliOptions &options, InstrumentSession &session, Console &console,
                     InterruptWatch &interrupts)
{
    return RunLoggerCommand(options,
                            LoggerLine{session.link(), session.clock(), session.messageWords(), {}},
                            console, interrupts);
}

int RunLoggerCommand(const CliOptions &options, const LoggerLine &session, Console &console,
                     InterruptWatch &interrupts)
{
    SensorLink &link = session.link;
    // An instrument without a logger reports no log status: say so at once rather than
    // wait for packets it never answers.
    const LinkAnswer<bool> status;
    link.requestStatus(status.taker());
    if (status.wait(link, session.runEvents).value_or(false) && !JsonContract::HasLogger(link))
        return Fail(console, QStringLiteral("this instrument has no data logger"));
    LoggerPackets packets(link);
    LoggerDetailsReader reader(link, session.clock, packets);
    LoggerDetails details;
    const LoggerDetailsView view = readDetails(session, reader, details);
    const QString &command = options.subcommand;
    if (command == QLatin1String("download"))
        return runDownload(options, session, console, interrupts, reader, details);
    // Its details, its counts and starting it rest on the program.
    if (!details.known() && (command == QLatin1String("info") || command == QLatin1String("start")))
        return Fail(console, UnknownProgram + session.describe(details.logger.failure));
    if (!details.clockOffset || !link.Connected())
        return Fail(console, QStringLiteral("the logger did not answer: ") +
                                 session.describe(view.statusText));
    if (command == QLatin1String("info")) {
        printDetails(options, link, view, details, session.clock.now(), console);
        return ExitCode::Done;
    }

    LoggerControl control(link);
    // The logger's answer to the change sent; none when nothing was sent.
    const LinkAnswer<ParsedReply<QByteArray>> answer;
    const double computerNow = DateTimeToDays(session.clock.now());
    const double clockOffset = *details.clockOffset;
    if (command == QLatin1String("set-clock")) {
        const double offset = JsonContract::ClockOffsetSeconds(clockOffset);
        if (options.ifDriftSeconds >= 0 && std::fabs(offset) <= double(options.ifDriftSeconds)) {
            if (options.verbosity > 0)
                console.err << "quorvel-cli: the logger's clock is off by "
                            << QString::number(offset, 'f', 1) << " s, not more than "
                            << options.ifDriftSeconds << " s: not set" << Qt::endl;
            return ExitCode::Done;
        }
        if (!options.force && (!details.known() || details.logger.value->logging()))
            return Fail(console, details.known()
                                     ? ChangeTimeWhileLogging
                                     : QStringLiteral("whether the logger is logging could not be "
                                                      "read (--force sets the clock)"));
        control.requestSetLoggerTime(
            options.time.isValid() ? DateTimeToDays(options.time) : computerNow, answer.taker());
    } else if (command == QLatin1String("stop")) {
        control.requestStopLogging(answer.taker());
    } else if (command == QLatin1String("start")) {
        LoggerState &state = *details.logger.value;
        if (!options.force && state.RecordsLogged > state.RecordsRetrieved)
            return Fail(console, StartWithDataNotDownloaded);
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
                : LoggingStart::DefaultStart(computerNow + clockOffset, state.AvgPeriod).start();
        control.requestStartLogging(state, options.overwrite || state.overwrite(), start,
                                    answer.taker());
    }
    const std::optional<ParsedReply<QByteArray>> reply = answer.wait(link, session.runEvents);
    if (reply && reply->ok())
        return ExitCode::Done;
    return Fail(console, QStringLiteral("the logger refused ") + command + QStringLiteral(": ") +
                             session.describe(reply ? reply->failure : link.Status()));
}
