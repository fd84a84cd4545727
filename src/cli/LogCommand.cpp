// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/LogCommand.h"

#include "cli/AppendingLogFile.h"
#include "cli/ExitCode.h"
#include "cli/InstrumentSession.h"
#include "cli/InterruptWatch.h"
#include "cli/StationPublishing.h"
#include "pclog/LoggingRun.h"

#include <QEventLoop>
#include <QFileInfo>
#include <QRegularExpression>

#include <algorithm>
#include <limits>

QString InstrumentPath(const QString &path, const QString &serialNumber)
{
    QString serial = serialNumber;
    serial.replace(QRegularExpression(QStringLiteral("[^A-Za-z0-9_.-]")), QStringLiteral("_"));
    const QFileInfo info(path);
    const QString suffix = info.suffix();
    const qsizetype stem = suffix.isEmpty() ? path.size() : path.size() - suffix.size() - 1;
    return path.left(stem) + QLatin1Char('-') + serial + path.mid(stem);
}

LogSession::LogSession(const CliOptions &options, SensorLink &link, Clock &clock, Console &console,
                       std::function<QString(const QString &)> describe)
    : m_options(options), m_link(link), m_clock(clock), m_console(console),
      m_describe(describe ? std::move(describe) : [](const QString &text) { return text; }),
      m_journal(console.err, clock, options.verbosity), m_view(options, console.out, console.err),
      m_dialogs(QString())
{}

LogSession::~LogSession() = default;

bool LogSession::isLogging() const
{
    return m_run && m_run->IsLogging();
}

QString LogSession::pathNow() const
{
    const QString dated = DatedPath(m_options.output, m_clock.now().date());
    return m_serialNumber.isNull() ? dated : InstrumentPath(dated, m_serialNumber);
}

void LogSession::startRun(LogFileWriter::Opener opener)
{
    m_dialogs.setPath(m_path = pathNow());
    m_run = std::make_unique<LoggingRun>(m_link, m_clock, m_dialogs, std::move(opener));
    m_run->setView(m_view);
    m_run->Start();
}

bool LogSession::start()
{
    startRun(m_options.append ? LogFileWriter::Opener(AppendingLogFile::Open)
                              : LogFileWriter::Opener(LogFileWriter::OpenReplacingFile));
    return !m_view.fileFailed();
}

void LogSession::tick(std::function<void(bool goOn)> ended)
{
    // The last tick's readings (or a new run's calibration) still run: this tick waits
    // for them, and those that fall due meanwhile make one with it.
    if (!m_link.requestsIdle()) {
        m_dueTickEnded = std::move(ended);
        if (!std::exchange(m_tickDue, true)) {
            m_link.whenRequestsIdle([this, alive = m_lifetime.watch()] {
                // None after the timer has stopped: the command is ending.
                if (alive.lock() && std::exchange(m_tickDue, false) && m_view.timerEnabled())
                    tick(std::exchange(m_dueTickEnded, {}));
            });
        }
        return;
    }
    // An unplugged adapter that is back: its port opens again and the run's next tick
    // shakes hands, as after any silence.
    if (m_link.CommPort() == 0 && !m_lost)
        m_journal.event(QStringLiteral("device lost: ") + m_describe(m_link.Status()));
    m_lost = m_link.CommPort() == 0;
    if (m_lost && m_link.reopenLostPort())
        m_journal.event(QStringLiteral("device back: ") + m_describe(m_link.Status()));
    // A new day under a dated name, seen before the day's first reading is due: the last
    // line of the day before is in the old file, the new file starts with its header.
    if (m_run->IsLogging() && pathNow() != m_path) {
        m_run->Stop();
        startRun(m_serialNumber.isNull() ? LogFileWriter::Opener(LogFileWriter::OpenReplacingFile)
                                         : LogFileWriter::Opener(AppendingLogFile::Open));
        m_journal.event(QStringLiteral("new day's file ") + m_path);
    }
    m_run->Tick([this, ended = std::move(ended), alive = m_lifetime.watch()] {
        if (!alive.lock())
            return;
        const bool goOn = tickEnded();
        if (ended)
            ended(goOn);
    });
}

bool LogSession::tickEnded()
{
    const QString change = m_view.takeInstrumentChange();
    if (!change.isEmpty() && !m_options.output.isEmpty()) {
        // The old file is ended; the other instrument's lines go to a file of its own,
        // continued when this run already wrote one for it.
        m_serialNumber = m_link.SerialNumber();
        startRun(AppendingLogFile::Open);
        m_console.err << "quorvel-cli: " << change << "; its lines go to " << m_path << Qt::endl;
    } else if (!change.isEmpty()) {
        m_console.err << "quorvel-cli: " << change << "; a new heading follows" << Qt::endl;
        startRun(LogFileWriter::OpenReplacingFile);
    }
    // A new run still reading its calibration goes on once it has come.
    return (m_view.timerEnabled() || m_run->IsStarting()) && !m_view.fileFailed();
}

void LogSession::stop()
{
    m_run->Stop();
}

namespace {

// At the end of a run, the last lines are given this long to reach the broker; what does
// not is sent by the next run.
constexpr int PublishingEndMs = 5000;

} // namespace

int RunLogCommand(const CliOptions &options, InstrumentSession &session, Console &console,
                  InterruptWatch &interrupts)
{
    SensorLink &link = session.link();
    // The heading and the file's header name the model, its serial number and units.
    if (!session.readStatus())
        return Fail(console, QStringLiteral("the instrument did not answer: ") + link.Status());
    // --mqtt: the file is the journal that publishing follows.
    QString publishError;
    const auto publishing =
        StationPublishing::Start(options, link.SerialNumber(), console, publishError);
    if (!publishing && !publishError.isEmpty())
        return Fail(console, publishError);
    LogSession log(options, link, session.clock(), console, session.messageWords());
    ConsoleLoggingView &view = log.view();
    // The file publishing follows: a new day's file, or another instrument's, is followed
    // from its start.
    QString followed;
    const auto followNewFile = [&] {
        if (publishing && log.isLogging() && log.path() != followed)
            publishing->follow(followed = log.path());
    };

    QEventLoop loop;
    QObject::connect(&view.timer(), &QTimer::timeout, &loop, [&] {
        log.tick([&](bool goOn) {
            if (publishing)
                publishing->poll();
            followNewFile();
            if (!goOn)
                loop.quit();
        });
    });
    // A signal stops the timer: a tick in progress ends after its reading, with whole
    // lines only (the requests are waited for below).
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
    const bool started = log.start();
    // A start with individual sensors reads the calibration first.
    session.waitForRequests();
    if (!started || view.fileFailed()) {
        log.stop();
        return Fail(console, QStringLiteral("cannot write ") + log.path(), ExitCode::FileFailed);
    }
    // A calibration that could not be read refuses the start.
    if (!log.isLogging() && !interrupts.interrupted()) {
        const QString why = view.lastMessage();
        log.stop();
        if (publishing)
            publishing->finish(PublishingEndMs);
        return Fail(console, QStringLiteral("logging did not start: ") + why);
    }
    followNewFile();
    if (view.timerEnabled() && !interrupts.interrupted()) {
        if (options.durationSeconds > 0)
            duration.start(static_cast<int>(
                std::min<qint64>(options.durationSeconds * 1000, std::numeric_limits<int>::max())));
        loop.exec();
    }
    // The reading on the line when the loop ended is taken, with the lines it closes.
    view.stopTimer();
    session.waitForRequests();
    log.stop();
    if (publishing)
        publishing->finish(PublishingEndMs);
    if (view.fileFailed())
        return ExitCode::FileFailed;
    if (interrupts.interrupted())
        return ExitCode::Interrupted;
    // The run stopped on a failure of the instrument.
    if (options.durationSeconds == 0 || duration.isActive())
        return ExitCode::InstrumentFailed;
    return ExitCode::Done;
}
