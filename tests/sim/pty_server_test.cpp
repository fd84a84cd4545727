#include "PtyServer.h"

#include "link/Crc.h"
#include "link/Frame.h"

#include <QElapsedTimer>
#include <QMetaObject>
#include <QProcess>
#include <QThread>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

namespace {

// The computer's side: the slave device opened as a program opens a serial port.
class PtyClient
{
public:
    explicit PtyClient(const QString &path)
    {
        m_fd = ::open(path.toLocal8Bit().constData(), O_RDWR | O_NOCTTY);
        if (m_fd >= 0) {
            termios settings{};
            ::tcgetattr(m_fd, &settings);
            ::cfmakeraw(&settings);
            ::tcsetattr(m_fd, TCSANOW, &settings);
        }
    }
    ~PtyClient()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    PtyClient(const PtyClient &) = delete;
    PtyClient &operator=(const PtyClient &) = delete;

    bool isOpen() const { return m_fd >= 0; }

    // Writes a command and reads until the reply ends with `end` or `ms` have passed.
    QByteArray exchange(const QByteArray &command, const QByteArray &end, int ms = 1000)
    {
        return exchangeUntil(command, ms, [&end](const QByteArray &r) { return r.endsWith(end); });
    }

    // Writes a command and reads until `count` bytes are in or `ms` have passed.
    QByteArray exchangeCount(const QByteArray &command, int count, int ms = 1000)
    {
        return exchangeUntil(command, ms,
                             [count](const QByteArray &r) { return r.size() >= count; });
    }

private:
    template <typename Done> QByteArray exchangeUntil(const QByteArray &command, int ms, Done done)
    {
        if (::write(m_fd, command.constData(), static_cast<size_t>(command.size())) !=
            command.size())
            return QByteArray();
        QByteArray reply;
        QElapsedTimer timer;
        timer.start();
        while (!done(reply) && timer.elapsed() < ms) {
            pollfd ready{m_fd, POLLIN, 0};
            if (::poll(&ready, 1, static_cast<int>(ms - timer.elapsed())) <= 0)
                continue;
            char buffer[512];
            const ssize_t count = ::read(m_fd, buffer, sizeof buffer);
            if (count > 0)
                reply.append(buffer, count);
        }
        return reply;
    }

    int m_fd = -1;
};

// A PtyServer living in a thread of its own, as the demo runs it.
class ServerThread
{
public:
    explicit ServerThread(const PtyServerOptions &options)
    {
        m_thread.start();
        m_server = new PtyServer(options);
        m_server->moveToThread(&m_thread);
        QMetaObject::invokeMethod(
            m_server, [this] { m_path = m_server->start(); }, Qt::BlockingQueuedConnection);
    }
    ~ServerThread()
    {
        QMetaObject::invokeMethod(
            m_server, [this] { delete m_server; }, Qt::BlockingQueuedConnection);
        m_thread.quit();
        m_thread.wait();
    }
    ServerThread(const ServerThread &) = delete;
    ServerThread &operator=(const ServerThread &) = delete;

    QString path() const { return m_path; }
    PtyServer &server() { return *m_server; }

private:
    QThread m_thread;
    PtyServer *m_server = nullptr;
    QString m_path;
};

} // namespace

TEST(PtyServer, AnswersOnThePseudoTerminalFromItsOwnThread)
{
    ServerThread running(PtyServerOptions(SimModel::ZQ4));
    ASSERT_FALSE(running.path().isEmpty()) << running.server().errorString().toStdString();

    PtyClient client(running.path());
    ASSERT_TRUE(client.isOpen());
    EXPECT_EQ(client.exchange("R", "\xAF"), QByteArray("\r\n\xAF"));
    const QByteArray readings = client.exchange("S", "\r");
    EXPECT_TRUE(readings.startsWith("S")) << readings.toStdString();
    EXPECT_TRUE(readings.endsWith("\r")) << readings.toStdString();
    EXPECT_EQ(readings.count(','), 2);

    SimFaults faults;
    faults.badPrompt = true;
    running.server().setFaults(faults);
    EXPECT_EQ(client.exchange("R", ">"), QByteArray("\r\n>"));
}

TEST(PtyServer, KeepsServingAfterAProgramClosesThePort)
{
    ServerThread running(PtyServerOptions(SimModel::ZQ5));
    ASSERT_FALSE(running.path().isEmpty());
    {
        PtyClient first(running.path());
        EXPECT_EQ(first.exchange("R", "\xAF"), QByteArray("\r\n\xAF"));
    }
    PtyClient second(running.path());
    EXPECT_EQ(second.exchange("R", "\xAF"), QByteArray("\r\n\xAF"));
    EXPECT_TRUE(running.server().isRunning());
}

TEST(PtyServer, PacesPacketsAndDataBlocksToo)
{
    PtyServerOptions options(SimModel::ZQ5);
    options.pace = true;
    options.instrument.logger.memoryBlocks = 16;
    options.instrument.logger.prefill.records = 500;
    ServerThread running(options);
    ASSERT_FALSE(running.path().isEmpty());
    PtyClient client(running.path());

    QElapsedTimer timer;
    timer.start();
    const QByteArray reply =
        client.exchangeCount(Frame::build(22, 1, 2, QByteArray::fromHex("0002")), 9 + 514, 3000);
    const double seconds = timer.nsecsElapsed() / 1e9;
    ASSERT_EQ(reply.size(), 9 + 514);
    EXPECT_EQ(reply.left(9), Frame::build(22, 1, 2, QByteArray::fromHex("0002")));
    EXPECT_EQ(CalcCrc(reply.mid(9)), 0);
    // 9 bytes in, 9 + 514 out, 11 bits each at 9600 baud.
    EXPECT_GE(seconds, (9 + 9 + 514) * 11.0 / 9600.0 - 0.002);
    EXPECT_LT(seconds, 1.5);
}

TEST(QuorvelSim, PrintsItsDeviceAndStopsWhenItsInputEnds)
{
    const QString program = qEnvironmentVariable("QUORVEL_SIM");
    if (program.isEmpty())
        GTEST_SKIP() << "QUORVEL_SIM is not set";
    QProcess sim;
    sim.start(program, {QStringLiteral("--model"), QStringLiteral("VTA1"),
                        QStringLiteral("--sky-hour"), QStringLiteral("11")});
    ASSERT_TRUE(sim.waitForStarted(5000));
    ASSERT_TRUE(sim.waitForReadyRead(5000));
    while (!sim.canReadLine() && sim.waitForReadyRead(1000)) {
    }
    const QString path = QString::fromLocal8Bit(sim.readLine()).trimmed();
    ASSERT_TRUE(path.startsWith(QLatin1String("/dev/"))) << path.toStdString();
    {
        PtyClient client(path);
        ASSERT_TRUE(client.isOpen());
        EXPECT_EQ(client.exchange("R", "\xAF"), QByteArray("\r\n\xAF"));
        const QByteArray status = client.exchange("I", "Stopped\r");
        EXPECT_TRUE(status.startsWith("IVTA1 v1.2\rUnits: W.m-2\r")) << status.toStdString();
    }
    sim.closeWriteChannel();
    ASSERT_TRUE(sim.waitForFinished(5000));
    EXPECT_EQ(sim.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(sim.exitCode(), 0);
}

TEST(QuorvelSim, StartsItsLoggerAsTheOptionsSay)
{
    const QString program = qEnvironmentVariable("QUORVEL_SIM");
    if (program.isEmpty())
        GTEST_SKIP() << "QUORVEL_SIM is not set";
    QProcess sim;
    sim.start(program, {QStringLiteral("--memory-blocks"), QStringLiteral("1023"),
                        QStringLiteral("--prefill-records"), QStringLiteral("300"),
                        QStringLiteral("--downloaded-records"), QStringLiteral("10"),
                        QStringLiteral("--logging"), QStringLiteral("--overwrite"),
                        QStringLiteral("--clock-offset"), QStringLiteral("3600")});
    ASSERT_TRUE(sim.waitForStarted(5000));
    while (!sim.canReadLine() && sim.waitForReadyRead(5000)) {
    }
    const QString path = QString::fromLocal8Bit(sim.readLine()).trimmed();
    ASSERT_TRUE(path.startsWith(QLatin1String("/dev/"))) << path.toStdString();
    {
        PtyClient client(path);
        ASSERT_TRUE(client.isOpen());
        EXPECT_EQ(client.exchangeCount(Frame::build(15, 0, 0, {}), 9),
                  Frame::build(15, 0, 2, QByteArray::fromHex("FF03")));

        const QByteArray loggerProgram = client.exchangeCount(Frame::build(10, 0, 0, {}), 21);
        ASSERT_EQ(loggerProgram.size(), 21);
        EXPECT_EQ(Frame::byteAt(loggerProgram, 5 + 5), 3); // logging, overwriting
        // The download pointer on the 10th record: block 0, slot 9.
        EXPECT_EQ(Frame::readLe16(loggerProgram, 5 + 10), 48);

        const QByteArray clock = client.exchangeCount(Frame::build(12, 0, 0, {}), 15);
        ASSERT_EQ(clock.size(), 15);
        const QDate date =
            QDate(Frame::readLe16(clock, 5), 1, 1).addDays(Frame::readLe16(clock, 7) - 1);
        const QDateTime logger(date,
                               QTime(0, 0).addSecs(static_cast<int>(Frame::readLe32(clock, 9))));
        EXPECT_LT(std::abs(logger.secsTo(QDateTime::currentDateTime().addSecs(3600))), 5);

        const QByteArray status = client.exchange("I", "Logging\r", 1000);
        EXPECT_TRUE(status.startsWith("IZQ5") && status.endsWith("Logging\r"))
            << status.toStdString();
    }
    sim.closeWriteChannel();
    ASSERT_TRUE(sim.waitForFinished(5000));
    EXPECT_EQ(sim.exitCode(), 0);
}

TEST(QuorvelSim, RefusesAnUnknownModelAndBadLoggerAndFaultOptions)
{
    const QString program = qEnvironmentVariable("QUORVEL_SIM");
    if (program.isEmpty())
        GTEST_SKIP() << "QUORVEL_SIM is not set";
    const QList<QStringList> wrong{
        {QStringLiteral("--model"), QStringLiteral("ZQ9")},
        {QStringLiteral("--memory-blocks"), QStringLiteral("0")},
        {QStringLiteral("--memory-blocks"), QStringLiteral("65536")},
        {QStringLiteral("--prefill-records"), QStringLiteral("-3")},
        {QStringLiteral("--lost-ack"), QStringLiteral("never")},
        {QStringLiteral("--corrupt-block"), QStringLiteral("once:0")},
        {QStringLiteral("--logging"), QStringLiteral("--stopped")},
        {QStringLiteral("--clock-offset"), QStringLiteral("soon")},
    };
    for (const QStringList &arguments : wrong) {
        SCOPED_TRACE(arguments.join(' ').toStdString());
        QProcess sim;
        sim.start(program, arguments);
        ASSERT_TRUE(sim.waitForFinished(5000));
        EXPECT_EQ(sim.exitCode(), 2);
        EXPECT_TRUE(sim.readAllStandardOutput().isEmpty());
    }
}
