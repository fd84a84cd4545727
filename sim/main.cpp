// quorvel-sim: a simulated instrument on a pseudo-terminal. Prints the device path on
// the first line of its output, then answers on it until it is killed, interrupted or
// its standard input ends (so a test harness stops it by closing the pipe).
#include "PtyServer.h"
#include "SkyModel.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDateTime>
#include <QFile>
#include <QSocketNotifier>

#include <csignal>
#include <cstdio>
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

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("quorvel-sim"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Simulated Quorvel instrument on a pseudo-terminal. Prints the device path, then\n"
        "answers on it until killed or until standard input ends."));
    parser.addHelpOption();
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
    parser.addOptions(
        {model, latency, pace, skyHour, silent, late, split, garbage, badPrompt, noStdin});
    parser.process(app);
    if (!parser.positionalArguments().isEmpty())
        return usageError(QStringLiteral("unexpected argument ") +
                          parser.positionalArguments().first());

    const auto chosen = modelFromName(parser.value(model));
    if (!chosen)
        return usageError(QStringLiteral("unknown model ") + parser.value(model));
    PtyServerOptions options(*chosen);
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
    std::printf("%s\n", QFile::encodeName(path).constData());
    std::fflush(stdout);
    if (!parser.isSet(noStdin))
        quitAtEndOfInput(app);
    return app.exec();
}
