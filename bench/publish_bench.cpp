// SPDX-License-Identifier: GPL-3.0-or-later
// What publishing to an MQTT broker costs, against a mosquitto started here on a free
// loopback port:
//   1. steady logging: one line a second appended to a PC log file, published as it comes;
//      the process's processor time over the run (target: under 1 % of one core);
//   2. a backlog after an outage: BACKLOG lines already in the file are drained, while a
//      line is still appended every 100 ms and the longest stall of the event loop is
//      measured (target: at least 2,000 messages a second, logging never held up).
//
//   publish_bench [--seconds N] [--backlog LINES]      (defaults 600 and 100000)
#include "publish/JournalPublisher.h"
#include "publish/MqttClient.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <pwd.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>

namespace {

int freePort()
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    ::bind(fd, reinterpret_cast<sockaddr *>(&address), size);
    ::getsockname(fd, reinterpret_cast<sockaddr *>(&address), &size);
    ::close(fd);
    return ntohs(address.sin_port);
}

double cpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// The processor seconds of another process so far (from /proc).
double processCpuSeconds(qint64 pid)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return 0;
    const QList<QByteArray> fields = stat.readAll().split(')').last().split(' ');
    // After the name: state is field 3, utime 14 and stime 15 (counted from 1).
    return double(fields.value(12).toLongLong() + fields.value(13).toLongLong()) /
           double(sysconf(_SC_CLK_TCK));
}

const QByteArray Header = "ZQ5 Logger Data file 01/06/2026 10:00:00\r\nZQ5 v1.03 Ser No: 1234\r\n"
                          "Reading Units: W.m-2\r\nTime\tTotal\tDiffuse\tSun\tTemp\r\n";

QByteArray line(qint64 n)
{
    const QDateTime time = QDateTime(QDate(2026, 6, 1), QTime(10, 0)).addSecs(n);
    return time.toString("dd/MM/yyyy HH:mm:ss").toUtf8() + '\t' +
           QByteArray::number(500 + n % 300) + ".5\t87.0\t1.0\t21.4\r\n";
}

void append(QFile &file, const QByteArray &bytes)
{
    file.write(bytes);
    file.flush();
}

struct Run
{
    QTemporaryDir folder;
    QString path = folder.filePath("log.txt");
    QFile file{path};
    MqttSettings settings;
    std::unique_ptr<MqttClient> client;
    std::unique_ptr<JournalPublisher> publisher;

    Run(int port, const QByteArray &initial)
    {
        file.open(QIODevice::WriteOnly);
        append(file, initial);
        settings.url.host = "127.0.0.1";
        settings.url.port = port;
        settings.url.prefix = "bench";
        settings.statusTopic = "bench/1234/status";
        client = std::make_unique<MqttClient>(settings);
        JournalPublishing publishing;
        publishing.periodSeconds = 1;
        publishing.readingsPerPeriod = 1;
        publisher = std::make_unique<JournalPublisher>(*client, settings.url, publishing);
        QString error;
        client->start(error);
        publisher->follow(path);
    }
};

// Runs the event loop until `done`, looking every 100 ms.
void waitUntil(const std::function<bool()> &done)
{
    QEventLoop loop;
    QTimer check;
    QObject::connect(&check, &QTimer::timeout, [&] {
        if (done())
            loop.quit();
    });
    check.start(100);
    if (!done())
        loop.exec();
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    int seconds = 600;
    qint64 backlog = 100000;
    const QStringList args = app.arguments();
    for (int i = 1; i + 1 < args.size(); ++i) {
        if (args[i] == "--seconds")
            seconds = args[i + 1].toInt();
        if (args[i] == "--backlog")
            backlog = args[i + 1].toLongLong();
    }
    const QString mosquitto =
        QStandardPaths::findExecutable("mosquitto", {"/usr/sbin", "/usr/bin"});
    if (mosquitto.isEmpty()) {
        std::fprintf(stderr, "mosquitto is not installed\n");
        return 1;
    }
    QTemporaryDir brokerDir;
    const int port = freePort();
    QFile config(brokerDir.filePath("mosquitto.conf"));
    config.open(QIODevice::WriteOnly);
    config.write(QStringLiteral("listener %1 127.0.0.1\nallow_anonymous true\nlog_dest none\n"
                                "user %2\n")
                     .arg(port)
                     .arg(QString::fromLocal8Bit(getpwuid(getuid())->pw_name))
                     .toUtf8());
    config.close();
    QProcess broker;
    broker.start(mosquitto, {"-c", config.fileName()});
    broker.waitForStarted();
    QThread::msleep(300);

    {
        Run steady(port, Header);
        qint64 written = 0;
        QTimer tick;
        QObject::connect(&tick, &QTimer::timeout, [&] { append(steady.file, line(written++)); });
        const double cpuBefore = cpuSeconds();
        QElapsedTimer wall;
        wall.start();
        tick.start(1000);
        waitUntil([&] { return written >= seconds; });
        waitUntil([&] { return steady.publisher->caughtUp(); });
        const double cpu = cpuSeconds() - cpuBefore;
        const double elapsed = double(wall.elapsed()) / 1000;
        std::printf("steady: %lld lines in %.1f s, %lld acknowledged, CPU %.3f s = %.3f %% of "
                    "one core (target < 1 %%)\n",
                    written, elapsed, steady.publisher->acknowledgedLines(), cpu,
                    100 * cpu / elapsed);
        steady.publisher->finish(2000);
        steady.client->stop(1000);
    }
    {
        QByteArray lines = Header;
        for (qint64 n = 0; n < backlog; ++n)
            lines += line(n);
        QElapsedTimer wall;
        wall.start();
        const double cpuBefore = cpuSeconds();
        const double brokerBefore = processCpuSeconds(broker.processId());
        Run drain(port, lines);
        qint64 written = backlog;
        qint64 longestGapMs = 0;
        QElapsedTimer gap;
        gap.start();
        QTimer tick;
        QObject::connect(&tick, &QTimer::timeout, [&] {
            longestGapMs = std::max(longestGapMs, gap.restart());
            append(drain.file, line(written++));
        });
        tick.start(100);
        waitUntil([&] { return drain.publisher->acknowledgedLines() >= backlog; });
        const double elapsed = double(wall.elapsed()) / 1000;
        const double cpu = cpuSeconds() - cpuBefore;
        const double brokerCpu = processCpuSeconds(broker.processId()) - brokerBefore;
        std::printf("backlog: %lld lines drained in %.2f s = %.0f messages/s (target >= 2000); "
                    "%lld lines logged meanwhile, longest gap between 100 ms ticks %lld ms\n",
                    backlog, elapsed, double(backlog) / elapsed, written - backlog, longestGapMs);
        std::printf("backlog: processor time %.2f s here (%.0f us a message) and %.2f s in the "
                    "broker: %.0f messages/s when each has a core of its own\n",
                    cpu, 1e6 * cpu / double(backlog), brokerCpu,
                    double(backlog) / std::max(cpu, brokerCpu));
        drain.publisher->finish(5000);
        drain.client->stop(1000);
    }
    broker.terminate();
    broker.waitForFinished();
    return 0;
}
