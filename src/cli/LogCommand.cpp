#include "cli/LogCommand.h"

#include "cli/AppendingLogFile.h"
#include "cli/ConsoleLogging.h"
#include "cli/ExitCode.h"
#include "cli/InstrumentSession.h"
#include "cli/InterruptWatch.h"
#include "cli/Journal.h"
#include "cli/OutputFileDialogs.h"
#include "pclog/LoggingRun.h"

#include <QEventLoop>

#include <algorithm>
#include <limits>

int RunLogCommand(const CliOptions &options, InstrumentSession &session, Console &console,
                  InterruptWatch &interrupts)
{
    SensorLink &link = session.link();
    // The heading and the file's header name the model, its serial number and units.
    if (!link.GetStatus())
        return Fail(console, QStringLiteral("the instrument did not answer: ") + link.Status());
    Clock &clock = session.clock();
    QString path = DatedPath(options.output, clock.now().date());
    OutputFileDialogs dialogs(path);
    ConsoleLoggingView view(options, console.out, console.err);
    LoggingRun run(link, clock, dialogs,
                   options.append ? LogFileWriter::Opener(AppendingLogFile::Open)
                                  : LogFileWriter::Opener(LogFileWriter::OpenReplacingFile));
    run.setView(view);
    Journal journal(console.err, clock, options.verbosity);
    bool lost = false;

    QEventLoop loop;
    QObject::connect(&view.timer(), &QTimer::timeout, &loop, [&] {
        // The timer comes round again inside a tick that lets events run: that tick has
        // the run in hand.
        if (run.InTick())
            return;
        // An unplugged adapter that is back: its port opens again and the run's next
        // tick shakes hands, as after any silence.
        if (link.CommPort() == 0 && !lost)
            journal.event(QStringLiteral("device lost: ") + session.forMessage(link.Status()));
        lost = link.CommPort() == 0;
        if (lost && link.reopenLostPort())
            journal.event(QStringLiteral("device back: ") + session.forMessage(link.Status()));
        run.Tick();
        // A new day under a dated name: the day's last line is in the old file, the new
        // file starts with its header.
        const QString today = DatedPath(options.output, clock.now().date());
        if (run.IsLogging() && today != path) {
            run.Stop();
            dialogs.setPath(path = today);
            run.Start();
            journal.event(QStringLiteral("new day's file ") + path);
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
        return Fail(console, QStringLiteral("cannot write ") + path, ExitCode::FileFailed);
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
