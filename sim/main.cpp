// SPDX-License-Identifier: GPL-3.0-or-later
// quorvel-sim: a simulated instrument on a pseudo-terminal. Prints the device path on
// the first line of its output, then answers on it until it is killed, interrupted or
// its standard input ends (so a test harness stops it by closing the pipe).
#include "PtyServer.h"
#include "SkyModel.h"
#include "version.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QSocketNotifier>

#include <algorithm>
#include <climits>
#include <csignal>
#include <cstdio>
#include <optional>
#include <sys/socket.h>
#include <unistd.h>

namespace {

int signalPipe[2] = {-1, -1};

void onSignal(int)
{
    const char byte = 1;
    [[maybe_unused]] const auto ignored = ::write(signalPipe[1], &byte, 1);
}

// SIGTERM and SIGINT end the event loop, so the pseudo-terminal is closed in order.
bool quitOnSignals(QCoreApplication &app)
{
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, signalPipe) != 0)
        return false;
    auto *notifier = new QSocketNotifier(signalPipe[0], QSocketNotifier::Read, &app);
    QObject::connect(notifier, &QSocketNotifier::activated, &app, [notifier] {
        notifier->setEnabled(false);
        QCoreApplication::quit();
    });
    struct sigaction action = {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    return ::sigaction(SIGTERM, &action, nullptr) == 0 &&
           ::sigaction(SIGINT, &action, nullptr) == 0;
}

void quitAtEndOfInput(QCoreApplication &app)
{
    auto *notifier = new QSocketNotifier(STDIN_FILENO, QSocketNotifier::Read, &app);
    QObject::connect(notifier, &QSocketNotifier::activated, &app, [notifier] {
        char buffer[256];
        const ssize_t count = ::read(STDIN_FILENO, buffer, sizeof buffer);
        if (count <= 0) {
            notifier->setEnabled(false);
            QCoreApplication::quit();
        }
    });
}

int usageError(const QString &text)
{
    std::fprintf(stderr, "quorvel-sim: %s\n", qPrintable(text));
    return 2;
}

// "N" or "every:N" strikes on every N-th event, "once:N" on the N-th only.
std::optional<FaultSchedule> faultSchedule(const QString &text)
{
    const bool once = text.startsWith(QLatin1String("once:"));
    QString number = text;
    if (once)
        number.remove(0, 5);
    else if (text.startsWith(QLatin1String("every:")))
        number.remove(0, 6);
    bool ok = false;
    const int n = number.toInt(&ok);
    if (!ok || n < 1)
        return std::nullopt;
    return FaultSchedule{n, once};
}

// A whole number within [low, high] from an option's value.
std::optional<int> wholeNumber(const QString &text, int low, int high)
{
    bool ok = false;
    const int value = text.toInt(&ok);
    if (!ok || value < low || value > high)
        return std::nullopt;
    return value;
}

// True when every character of `text` has a Latin-1 byte.
bool isLatin1(const QString &text)
{
    return std::all_of(text.begin(), text.end(), [](QChar ch) { return ch.unicode() <= 0xFF; });
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("quorvel-sim"));
    QCoreApplication::setApplicationVersion(QStringLiteral(QUORVEL_VERSION_STRING));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Simulated Quorvel instrument on a pseudo-terminal. Prints the device path, then\n"
        "answers on it until killed or until standard input ends."));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption model(QStringLiteral("model"),
                                   QStringLiteral("Instrument model: ZQ2, ZQ3, ZQ3v2, ZQ4, ZQ5 "
                                                  "or VTA1 (default ZQ5)."),
                                   QStringLiteral("MODEL"), QStringLiteral("ZQ5"));
    const QCommandLineOption latency(QStringLiteral("latency-ms"),
                                     QStringLiteral("Time before each reply starts (default 5)."),
                                     QStringLiteral("N"), QStringLiteral("5"));
    const QCommandLineOption pace(QStringLiteral("pace"),
                                  QStringLiteral("Move bytes at 9600 baud in both directions."));
    const QCommandLineOption skyHour(QStringLiteral("sky-hour"),
                                     QStringLiteral("Time of day of the sky at start (0-24)."),
                                     QStringLiteral("H"));
    const QCommandLineOption silent(QStringLiteral("silent"), QStringLiteral("Never answer."));
    const QCommandLineOption late(QStringLiteral("late"),
                                  QStringLiteral("Answer 1.5 s later than usual."));
    const QCommandLineOption split(QStringLiteral("split"),
                                   QStringLiteral("Answer in several pieces."));
    const QCommandLineOption garbage(QStringLiteral("garbage"),
                                     QStringLiteral("Send noise bytes before each reply."));
    const QCommandLineOption badPrompt(QStringLiteral("bad-prompt"),
                                       QStringLiteral("End the answer to \"R\" with a wrong "
                                                      "prompt byte."));
    const QCommandLineOption noStdin(QStringLiteral("no-stdin"),
                                     QStringLiteral("Keep running when standard input ends."));
    const QCommandLineOption blockLatency(
        QStringLiteral("block-latency-ms"),
        QStringLiteral("Extra time before answering a data-block request (default 0)."),
        QStringLiteral("N"), QStringLiteral("0"));
    const QString scheduleHelp =
        QStringLiteral(" N or every:N: every N-th time; once:N: the N-th time only.");
    const QCommandLineOption lostAck(
        QStringLiteral("lost-ack"),
        QStringLiteral("Leave out the acknowledgement of data-block requests.") + scheduleHelp,
        QStringLiteral("WHEN"));
    const QCommandLineOption corruptBlock(
        QStringLiteral("corrupt-block"),
        QStringLiteral("Flip a byte in data blocks.") + scheduleHelp, QStringLiteral("WHEN"));
    const QCommandLineOption lateBlock(
        QStringLiteral("late-block"),
        QStringLiteral("Send data blocks late (see --late-block-ms).") + scheduleHelp,
        QStringLiteral("WHEN"));
    const QCommandLineOption lateBlockMs(
        QStringLiteral("late-block-ms"),
        QStringLiteral("How late a late data block is (default 1500)."), QStringLiteral("N"),
        QStringLiteral("1500"));
    const QCommandLineOption frameGarbage(
        QStringLiteral("frame-garbage"),
        QStringLiteral("Send noise bytes after packet frames and blocks.") + scheduleHelp,
        QStringLiteral("WHEN"));
    const QCommandLineOption memoryBlocks(
        QStringLiteral("memory-blocks"),
        QStringLiteral("Logger memory size in 512-byte blocks, 1-65535 (default 1024)."),
        QStringLiteral("N"), QString::number(SimMemory::DefaultBlocks));
    const QCommandLineOption prefillRecords(
        QStringLiteral("prefill-records"),
        QStringLiteral("Fill the logger memory with a dataset of N records ending now, with "
                       "time gaps, a units change and a change of averaging period."),
        QStringLiteral("N"), QStringLiteral("0"));
    const QCommandLineOption downloaded(
        QStringLiteral("downloaded-records"),
        QStringLiteral("Records of the pre-filled dataset already downloaded."),
        QStringLiteral("N"), QStringLiteral("0"));
    const QCommandLineOption wrap(
        QStringLiteral("wrap"),
        QStringLiteral("The memory ring has wrapped: the dataset runs over the end of the "
                       "memory and an older dataset fills the rest."));
    const QCommandLineOption overwrite(
        QStringLiteral("overwrite"),
        QStringLiteral("The logger overwrites its oldest data when the memory is full."));
    const QCommandLineOption logging(QStringLiteral("logging"),
                                     QStringLiteral("The logger is logging at start."));
    const QCommandLineOption stopped(QStringLiteral("stopped"),
                                     QStringLiteral("The logger is stopped at start (default)."));
    const QCommandLineOption clockOffset(
        QStringLiteral("clock-offset"),
        QStringLiteral("The logger's clock minus the computer's, in seconds (default 0)."),
        QStringLiteral("SECONDS"), QStringLiteral("0"));
    const QCommandLineOption versionText(
        QStringLiteral("version-text"),
        QStringLiteral("The instrument's version line, in place of the model's own; each "
                       "character goes out as its Latin-1 byte (\"ZQ5 v1.03 Zürich\")."),
        QStringLiteral("TEXT"));
    const QCommandLineOption linkPath(
        QStringLiteral("link"),
        QStringLiteral("Also reach the device through a symbolic link at PATH, made anew at "
                       "each start (a device name that outlives a restart, as a by-id name "
                       "outlives a replug) and printed in place of the device path."),
        QStringLiteral("PATH"));
    parser.addOption(linkPath);
    parser.addOptions({model,        latency,      pace,           skyHour,     silent,
                       late,         split,        garbage,        badPrompt,   noStdin,
                       blockLatency, lostAck,      corruptBlock,   lateBlock,   lateBlockMs,
                       frameGarbage, memoryBlocks, prefillRecords, downloaded,  wrap,
                       overwrite,    logging,      stopped,        clockOffset, versionText});
    parser.process(app);
    if (!parser.positionalArguments().isEmpty())
        return usageError(QStringLiteral("unexpected argument ") +
                          parser.positionalArguments().first());

    const auto chosen = modelFromName(parser.value(model));
    if (!chosen)
        return usageError(QStringLiteral("unknown model ") + parser.value(model));
    PtyServerOptions options(*chosen);
    if (parser.isSet(versionText)) {
        const QString text = parser.value(versionText);
        if (text.isEmpty() || !isLatin1(text))
            return usageError(QStringLiteral("--version-text needs a text of Latin-1 characters"));
        InstrumentIdentity identity = InstrumentIdentity::defaultFor(*chosen);
        identity.versionLine = text.toLatin1();
        options.instrument.identity = identity;
    }
    bool ok = false;
    const double latencyMs = parser.value(latency).toDouble(&ok);
    if (!ok || latencyMs < 0)
        return usageError(QStringLiteral("--latency-ms needs a number of milliseconds"));
    options.instrument.latencySeconds = latencyMs / 1000.0;
    if (parser.isSet(skyHour)) {
        const double hour = parser.value(skyHour).toDouble(&ok);
        if (!ok || hour < 0 || hour > 24)
            return usageError(QStringLiteral("--sky-hour needs an hour from 0 to 24"));
        options.instrument.skyOffsetSeconds =
            SkyModel::offsetForHour(QDateTime::currentDateTime(), hour);
    }
    options.pace = parser.isSet(pace);
    options.instrument.faults.silent = parser.isSet(silent);
    options.instrument.faults.late = parser.isSet(late);
    options.instrument.faults.split = parser.isSet(split);
    options.instrument.faults.garbage = parser.isSet(garbage);
    options.instrument.faults.badPrompt = parser.isSet(badPrompt);

    const double blockLatencyMs = parser.value(blockLatency).toDouble(&ok);
    if (!ok || blockLatencyMs < 0)
        return usageError(QStringLiteral("--block-latency-ms needs a number of milliseconds"));
    options.instrument.blockLatencySeconds = blockLatencyMs / 1000.0;
    const double lateMs = parser.value(lateBlockMs).toDouble(&ok);
    if (!ok || lateMs < 0)
        return usageError(QStringLiteral("--late-block-ms needs a number of milliseconds"));
    options.instrument.faults.lateBlockSeconds = lateMs / 1000.0;
    const std::pair<const QCommandLineOption *, FaultSchedule *> schedules[] = {
        {&lostAck, &options.instrument.faults.lostAcknowledgement},
        {&corruptBlock, &options.instrument.faults.corruptBlock},
        {&lateBlock, &options.instrument.faults.lateBlock},
        {&frameGarbage, &options.instrument.faults.garbageBetweenFrames},
    };
    for (const auto &[option, schedule] : schedules) {
        if (!parser.isSet(*option))
            continue;
        const auto value = faultSchedule(parser.value(*option));
        if (!value)
            return usageError(QStringLiteral("--") + option->names().first() +
                              QStringLiteral(" needs N, every:N or once:N (N from 1)"));
        *schedule = *value;
    }

    SimLoggerOptions &logger = options.instrument.logger;
    const auto blocks = wholeNumber(parser.value(memoryBlocks), 1, SimMemory::MaxBlocks);
    if (!blocks)
        return usageError(QStringLiteral("--memory-blocks needs a number from 1 to 65535"));
    logger.memoryBlocks = *blocks;
    const auto records = wholeNumber(parser.value(prefillRecords), 0, INT_MAX);
    if (!records)
        return usageError(QStringLiteral("--prefill-records needs a number of records"));
    logger.prefill.records = *records;
    const auto fetched = wholeNumber(parser.value(downloaded), 0, INT_MAX);
    if (!fetched)
        return usageError(QStringLiteral("--downloaded-records needs a number of records"));
    logger.prefill.downloadedRecords = *fetched;
    logger.prefill.wrap = parser.isSet(wrap);
    logger.prefill.overwrite = parser.isSet(overwrite);
    if (parser.isSet(logging) && parser.isSet(stopped))
        return usageError(QStringLiteral("choose either --logging or --stopped"));
    logger.prefill.logging = parser.isSet(logging);
    logger.clockOffsetSeconds = parser.value(clockOffset).toDouble(&ok);
    if (!ok)
        return usageError(QStringLiteral("--clock-offset needs a number of seconds"));

    if (!quitOnSignals(app)) {
        std::fprintf(stderr, "quorvel-sim: cannot watch for signals\n");
        return 1;
    }
    PtyServer server(options);
    const QString path = server.start();
    if (path.isEmpty()) {
        std::fprintf(stderr, "quorvel-sim: %s\n", qPrintable(server.errorString()));
        return 1;
    }
    QObject::connect(&server, &PtyServer::failed, &app, [](const QString &reason) {
        std::fprintf(stderr, "quorvel-sim: %s\n", qPrintable(reason));
        QCoreApplication::exit(1);
    });
    const QString link = parser.value(linkPath);
    if (!link.isEmpty() &&
        ((QFileInfo(link).isSymLink() && !QFile::remove(link)) || !QFile::link(path, link))) {
        std::fprintf(stderr, "quorvel-sim: cannot make the link %s\n", qPrintable(link));
        return 1;
    }
    std::printf("%s\n", QFile::encodeName(link.isEmpty() ? path : link).constData());
    std::fflush(stdout);
    if (!parser.isSet(noStdin))
        quitAtEndOfInput(app);
    const int status = app.exec();
    if (!link.isEmpty() && QFileInfo(link).symLinkTarget() == path)
        QFile::remove(link);
    return status;
}
