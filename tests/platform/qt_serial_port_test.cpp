// SPDX-License-Identifier: GPL-3.0-or-later
// The real serial port on pseudo-terminals, in real time but briefly: the port opens the
// slave device as it would a serial adapter and the test plays the far end on the
// master; last, the sensor link on the real port against the simulator program.
#include "PseudoTerminal.h"
#include "QtPrinters.h"
#include "SettledLink.h"
#include "SimulatorProcess.h"
#include "link/SensorLink.h"
#include "platform/QtSerialPort.h"
#include "platform/SerialOpenFailure.h"
#include "platform/SystemClock.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>

#include <gtest/gtest.h>

#include <sys/file.h>

#include <cerrno>
#include <cstring>
#include <memory>

namespace {

// A port on `path`, by default the slave of a fresh pseudo-terminal, listed as COM 1.
struct PtyPort
{
    explicit PtyPort(const QString &p = {}) { table.addDevice(p.isEmpty() ? pty.slavePath : p); }
    PseudoTerminal pty;
    PortTable table{PortTable::Numbering::DeviceList};
    QtSerialPort port{table};
};

TEST(QtSerialPortTest, OpensRawAt9600Baud8N2AndPassesEveryByteBothWays)
{
    PtyPort p;
    QtSerialPort &port = p.port;
    // Closed, the port neither reads nor writes; a number needs a device.
    EXPECT_FALSE(port.write("R"));
    EXPECT_EQ(port.errorNumber(), SerialPort::ErrorPortNotOpen);
    EXPECT_FALSE(port.setPortNumber(2) || port.bytesWaiting());
    EXPECT_EQ(std::tuple(port.errorNumber(), port.portNumber()),
              std::tuple(SerialPort::ErrorInvalidPortNumber, 1));
    // What the far end sent before the open is not read; an open port cannot be opened
    // or numbered again.
    ASSERT_TRUE(p.pty.send("stale reply\r") && p.pty.waitForInputAtComputer(1000));
    port.clearError();
    ASSERT_TRUE(port.open()) << port.errorDescription().toStdString();
    EXPECT_EQ(std::tuple(port.isOpen(), port.errorNumber(), port.bytesWaiting()),
              std::tuple(true, 0, 0));
    EXPECT_FALSE(port.setPortNumber(1) || port.open());
    EXPECT_EQ(port.errorNumber(), SerialPort::ErrorPortAlreadyOpen);
    // 9600 baud, 8 data bits, 2 stop bits, no parity, no handshake; raw bytes both ways:
    // no line editing, no echo, no CR/LF translation.
    termios t{};
    ASSERT_EQ(::tcgetattr(p.pty.slave, &t), 0);
    EXPECT_EQ(std::tuple(::cfgetospeed(&t), ::cfgetispeed(&t),
                         t.c_cflag & (CSIZE | CSTOPB | PARENB | CRTSCTS),
                         (t.c_iflag & (IXON | IXOFF | ICRNL)) | (t.c_lflag & (ICANON | ECHO)) |
                             (t.c_oflag & OPOST)),
              std::tuple(speed_t(B9600), speed_t(B9600), tcflag_t(CS8 | CSTOPB), tcflag_t(0)));
    // Modem lines a pseudo-terminal lacks are ignored, not taken for a failure.
    port.clearError();
    port.setDtr(true);
    port.setRts(false);
    EXPECT_EQ(std::tuple(port.dtr(), port.isOpen(), port.errorNumber()), std::tuple(true, true, 0));

    QByteArray everyByte;
    for (int value = 0; value < 256; ++value)
        everyByte.append(static_cast<char>(value));
    for (const QByteArray &bytes : {QByteArray("I\r\n"), everyByte, QByteArray(3000, 'x')}) {
        ASSERT_TRUE(port.write(bytes)) << port.errorDescription().toStdString();
        EXPECT_EQ(p.pty.receive(int(bytes.size()), 2000), bytes);
    }
    // Sent by the far end, read at most so many (0: all), what the first read gives; the
    // rest stays for the next read.
    const std::tuple<QByteArray, int, QByteArray> reads[] = {
        {"ZQ5 v2.1\r", 0, "ZQ5 v2.1\r"},
        {QByteArray("\x0F\x00\x00\xAF", 4), 2, QByteArray("\x0F\x00", 2)},
        {everyByte, 100, everyByte.left(100)},
    };
    for (const auto &[sent, maxBytes, first] : reads) {
        ASSERT_TRUE(p.pty.send(sent));
        for (int i = 0; i < 20 && port.bytesWaiting() < sent.size(); ++i) {
            QEventLoop loop;
            QTimer::singleShot(50, &loop, &QEventLoop::quit);
            loop.exec();
        }
        ASSERT_EQ(port.bytesWaiting(), sent.size());
        EXPECT_EQ(port.read(maxBytes), first);
        EXPECT_EQ(port.bytesWaiting(), sent.size() - first.size());
        EXPECT_EQ(port.read(), sent.mid(first.size()));
    }
    // Closed, it opens again.
    port.close();
    EXPECT_TRUE(port.open());
}

// A hang-up (an unplugged adapter) met while the event loop runs closes the port without
// spinning; the lost port then stays closed.
TEST(QtSerialPortTest, HangUpClosesThePortWithoutSpinning)
{
    {
        PtyPort p;
        ASSERT_TRUE(p.port.open());
        p.pty.closeMaster();
        QElapsedTimer wall;
        wall.start();
        const double cpuBefore = processCpuSeconds();
        QEventLoop loop;
        QTimer::singleShot(300, &loop, &QEventLoop::quit);
        loop.exec();
        EXPECT_FALSE(p.port.write("R") || p.port.bytesWaiting());
        EXPECT_LT(processCpuSeconds() - cpuBefore, 0.05);
        EXPECT_GE(wall.elapsed(), 290);
        EXPECT_EQ(
            std::tuple(p.port.isOpen(), p.port.errorNumber(), p.port.errorDescription().isEmpty()),
            std::tuple(false, SerialPort::ErrorDeviceLost, false));
    }
}

// A device that talks unasked while only the event loop runs does not fill the memory:
// the port holds a bounded amount and the link's next exchange starts clean.
TEST(QtSerialPortTest, UnaskedInputIsBoundedWhileTheEventLoopRuns)
{
    PtyPort p;
    ASSERT_TRUE(p.port.open());
    ::fcntl(p.pty.master, F_SETFL, O_NONBLOCK);
    const QByteArray babble(4096, 'x');
    QElapsedTimer wall;
    wall.start();
    for (int sent = 0; sent < 1024 * 1024 && wall.elapsed() < 500;) {
        sent += p.pty.send(babble) ? babble.size() : 0;
        QCoreApplication::processEvents();
    }
    EXPECT_LE(p.port.bytesWaiting(), 64 * 1024 + 4096);
}

// Another port on the same device, the same device through a by-id style link, another
// program's lock: the device is in use until the holder lets go. A missing device is not
// said to be in use.
TEST(QtSerialPortTest, DeviceHeldElsewhereIsInUseAndOneMissingIsNot)
{
    QTemporaryDir dir;
    for (const std::string holder : {"port", "link", "lock", "missing"}) {
        PtyPort held;
        const QString device = held.pty.slavePath, other = dir.filePath(holder.c_str());
        ASSERT_TRUE(holder != "link" || QFile::link(device, other));
        PtyPort p(holder == "port" || holder == "lock" ? device : other);
        const int file = ::open(device.toLocal8Bit().constData(), O_RDWR | O_NOCTTY);
        ASSERT_TRUE(holder == "lock" ? ::flock(file, LOCK_EX | LOCK_NB) == 0 : held.port.open());
        const bool inUse = holder == "port" || holder == "link" || holder == "lock";
        EXPECT_FALSE(p.port.open());
        EXPECT_EQ(p.port.errorNumber() == SerialPort::ErrorPortAlreadyOpen, inUse) << holder;
        EXPECT_TRUE(inUse || p.port.errorDescription().contains(other)) << holder;
        ::close(file);
        held.port.close();
        EXPECT_EQ(p.port.open(), inUse) << holder << p.port.errorDescription().toStdString();
    }
}

// Tells apart the reasons QSerialPort gives one error for (most cannot be staged by a
// test that may run with every right).
TEST(OpenFailureTest, SaysWhichReasonStoppedTheOpen)
{
    const QString denied = QString::fromLocal8Bit(std::strerror(EACCES));
    const auto noRight = QSerialPort::PermissionError;
    const int permission = SerialPort::ErrorPermission, inUse = SerialPort::ErrorPortAlreadyOpen;
    // Qt's error and text, access denied, the device's group; the number and description.
    const std::tuple<QSerialPort::SerialPortError, QString, bool, QString, int, QString> cases[] = {
        {noRight, denied, true, "dialout", permission,
         "Permission denied on /dev/ttyS9: add your user to the dialout group (sudo usermod -aG "
         "dialout $USER) and log in again"},
        {noRight, denied, true, "root", permission,
         "Permission denied on /dev/ttyS9: your user may not read and write it"},
        {noRight, QSerialPort::tr("Permission error while locking the device"), false, "dialout",
         inUse, "/dev/ttyS9 is locked by another program"},
        {noRight, QString::fromLocal8Bit(std::strerror(EBUSY)), false, "dialout", inUse,
         "/dev/ttyS9 is in use by another program"},
        {noRight, QSerialPort::tr("Permission error while creating lock file"), false, "dialout",
         permission, "Cannot lock /dev/ttyS9: no lock folder (/var/lock, /tmp) may be written"},
        {QSerialPort::DeviceNotFoundError, "No such file or directory", false, "",
         SerialPort::ErrorOpenFailed, "No device at /dev/ttyS9: No such file or directory"},
        {QSerialPort::UnsupportedOperationError, "Operation not supported", false, "root",
         SerialErrorNumbers::UnsupportedOperation,
         "Cannot open /dev/ttyS9: Operation not supported"},
    };
    for (const auto &[error, text, accessDenied, group, number, description] : cases) {
        const SerialFailure failure =
            DescribeOpenFailure({error, text, "/dev/ttyS9", accessDenied, group});
        EXPECT_EQ(std::tuple(failure.number, failure.description), std::tuple(number, description));
    }
}

// A --device that names no serial line says what it names; the port records why each
// number failed to open until it opens.
TEST(QtSerialPortTest, PathThatIsNoSerialDeviceSaysWhatItIs)
{
    QTemporaryDir dir;
    QFile plain(dir.filePath("plain.txt"));
    ASSERT_TRUE(plain.open(QIODevice::WriteOnly));
    // (path, what the description says it is)
    const std::pair<QString, QString> rows[] = {
        {dir.path(), "a folder"},
        {plain.fileName(), "a plain file"},
        {"/dev/null", "a device of another kind"},
    };
    for (const auto &[path, what] : rows) {
        PtyPort p(path);
        EXPECT_FALSE(p.port.open());
        const QString description = path + " is " + what +
                                    ", not a serial device: name the "
                                    "instrument's device with --device, such as /dev/ttyUSB0";
        EXPECT_EQ(std::tuple(p.port.errorNumber(), p.port.errorDescription()),
                  std::tuple(SerialPort::ErrorNotSerialDevice, description));
        EXPECT_EQ(p.port.openFailures().value(1).description, description);
        // A port that opens is not recorded, nor is opening it again while it is open.
        p.table.addDevice(p.pty.slavePath);
        EXPECT_TRUE(p.port.setPortNumber(2) && p.port.open() && !p.port.open());
        EXPECT_EQ(p.port.openFailures().keys(), QList<int>{1});
    }
}

// The link on the real port finds the simulator program and exchanges with it at 9600
// baud: every byte goes through the system's terminal layer and takes its time.
TEST(PtyLinkTest, FindsTheSimulatorAndExchangesThroughTheTerminalLayer)
{
    if (SimulatorProcess::find().isEmpty())
        GTEST_SKIP() << "QUORVEL_SIM does not name the simulator program";
    SimulatorProcess sim;
    PtyPort p(sim.start(SimulatorProcess::find(), {"--model", "ZQ5", "--pace"}));
    SystemClock clock;
    SensorLink link(p.port, clock);
    QStringList found;
    QEventLoop search;
    link.requestPortSearch(true, 4, [&](const QStringList &ports) {
        found = ports;
        search.quit();
    });
    search.exec();
    EXPECT_EQ(found, QStringList{"COM 1"});
    link.setCommPort(link.CommDefault());
    SettledLink calls(link);
    ASSERT_TRUE(calls.status() && calls.readings() && calls.units(1) && calls.status())
        << link.Status().toStdString();
    EXPECT_EQ(
        std::tuple(link.units(), link.Status(), link.requestsIdle()),
        std::tuple("Units: W.m-2", "ZQ5  " + link.SerialNumber() + " connected on COM 1", true));
}

// The simulator ends between two polls while the event loop runs and comes back on the
// same name (another pseudo-terminal behind it, as a replugged adapter's by-id name):
// the loss is known within one tick, the instrument answers again within two ticks of
// its return, and nobody chose a port.
TEST(PtyLinkTest, SimulatorEndedBetweenPollsIsLostAtOnceAndFoundAgainWhenBack)
{
    if (SimulatorProcess::find().isEmpty())
        GTEST_SKIP() << "QUORVEL_SIM does not name the simulator program";
    QTemporaryDir dir;
    const QStringList arguments{"--model", "ZQ5", "--link", dir.filePath("ttyQ")};
    auto sim = std::make_unique<SimulatorProcess>();
    PtyPort p(sim->start(SimulatorProcess::find(), arguments));
    SystemClock clock;
    SensorLink link(p.port, clock);
    int losses = 0;
    QObject::connect(&link, &SensorLink::portLost, [&] { ++losses; });
    link.setCommPort(1);
    // A tick as the main window's: the lost port looked for, then the readings.
    const auto ticks = [&](int count) {
        for (int n = 0; n < count; ++n) {
            QEventLoop loop;
            QTimer::singleShot(200, &loop, &QEventLoop::quit);
            loop.exec();
            link.reopenLostPort();
            SettledLink(link).readings();
        }
    };
    ticks(1);
    ASSERT_TRUE(link.Connected()) << link.Status().toStdString();
    sim.reset();
    ticks(1);
    EXPECT_EQ(std::tuple(losses, link.Connected(), link.CommPort()), std::tuple(1, false, 0));
    // Which device went, once and by its whole name, and why.
    EXPECT_EQ(link.Status(), "Lost COM 1: " + p.table.devicePath(1) +
                                 " has gone: the device was disconnected or its far end closed");
    sim = std::make_unique<SimulatorProcess>();
    ASSERT_FALSE(sim->start(SimulatorProcess::find(), arguments).isEmpty());
    ticks(2);
    EXPECT_EQ(std::tuple(link.Connected(), link.CommPort()), std::tuple(true, 1))
        << link.Status().toStdString();
}

} // namespace
