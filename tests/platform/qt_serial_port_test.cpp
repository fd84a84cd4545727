#include "PseudoTerminal.h"

#include "platform/PortTable.h"
#include "platform/QtSerialPort.h"
#include "platform/SerialOpenFailure.h"

#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>

#include <gtest/gtest.h>

#include <sys/file.h>

#include <cerrno>
#include <cstring>

namespace {

// A waiting port must sleep in the system: a spinning one uses all of the wait.
constexpr double MaxCpuSecondsFor300MsWait = 0.050;

// A port on a fresh pseudo-terminal, listed as COM 1.
class QtSerialPortTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(pty.isReady()) << std::strerror(errno);
        table.addDevice(pty.slavePath());
    }

    // Reads until `count` bytes have been taken in or a second has passed.
    void waitForBytes(int count)
    {
        for (int i = 0; i < 20 && port.bytesWaiting() < count; ++i)
            port.waitForReadyRead(50);
    }

    PseudoTerminal pty;
    PortTable table{PortTable::Numbering::DeviceList};
    QtSerialPort port{table};
};

TEST_F(QtSerialPortTest, OpensAt9600BaudEightDataBitsTwoStopBitsNoParityNoHandshake)
{
    ASSERT_TRUE(port.open()) << port.errorDescription().toStdString();
    EXPECT_TRUE(port.isOpen());
    EXPECT_EQ(port.errorNumber(), SerialPort::NoError);

    termios settings{};
    ASSERT_EQ(::tcgetattr(pty.slave(), &settings), 0);
    EXPECT_EQ(::cfgetospeed(&settings), speed_t(B9600));
    EXPECT_EQ(::cfgetispeed(&settings), speed_t(B9600));
    EXPECT_EQ(settings.c_cflag & CSIZE, tcflag_t(CS8));
    EXPECT_NE(settings.c_cflag & CSTOPB, 0u);
    EXPECT_EQ(settings.c_cflag & PARENB, 0u);
    EXPECT_EQ(settings.c_cflag & CRTSCTS, 0u);
    EXPECT_EQ(settings.c_iflag & (IXON | IXOFF), 0u);
    // Raw bytes both ways: no line editing, no echo, no CR/LF translation.
    EXPECT_EQ(settings.c_lflag & (ICANON | ECHO), 0u);
    EXPECT_EQ(settings.c_oflag & OPOST, 0u);
    EXPECT_EQ(settings.c_iflag & ICRNL, 0u);
}

QByteArray allByteValues()
{
    QByteArray bytes;
    for (int value = 0; value < 256; ++value)
        bytes.append(static_cast<char>(value));
    return bytes;
}

TEST_F(QtSerialPortTest, WrittenBytesReachTheFarEndUnchanged)
{
    ASSERT_TRUE(port.open());
    // Modem lines a pseudo-terminal lacks are ignored, not taken for a failure.
    port.setDtr(true);
    port.setRts(true);
    EXPECT_TRUE(port.dtr());
    port.setDtr(false);
    port.setRts(false);
    EXPECT_FALSE(port.dtr());
    EXPECT_TRUE(port.isOpen());
    EXPECT_EQ(port.errorNumber(), SerialPort::NoError);
    const QList<QByteArray> writes = {"R", "U1", "I\r\n", allByteValues(), QByteArray(3000, 'x')};
    for (const QByteArray &bytes : writes) {
        ASSERT_TRUE(port.write(bytes)) << port.errorDescription().toStdString();
        EXPECT_EQ(pty.receive(static_cast<int>(bytes.size()), 2000), bytes)
            << "write of " << bytes.size() << " bytes";
    }
}

TEST_F(QtSerialPortTest, ReadsEverythingOrAtMostTheCountAndLeavesTheRest)
{
    struct Case
    {
        const char *name;
        QByteArray sent;
        int maxBytes;
        QByteArray firstRead;
    };
    const Case cases[] = {
        {"All", "ZQ5 v2.1\r", 0, "ZQ5 v2.1\r"},
        {"AtMostFive", "hello world", 5, "hello"},
        {"MoreThanWaiting", "abc", 10, "abc"},
        {"PromptByte", QByteArray("\xAF", 1), 1, QByteArray("\xAF", 1)},
        {"ZeroBytesInside", QByteArray("\x0F\x00\x00\x05", 4), 2, QByteArray("\x0F\x00", 2)},
        {"EveryByteValue", allByteValues(), 100, allByteValues().left(100)},
    };
    ASSERT_TRUE(port.open());
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(pty.send(c.sent));
        waitForBytes(static_cast<int>(c.sent.size()));
        ASSERT_EQ(port.bytesWaiting(), c.sent.size());

        EXPECT_EQ(port.read(c.maxBytes), c.firstRead);
        const QByteArray rest = c.sent.mid(c.firstRead.size());
        EXPECT_EQ(port.bytesWaiting(), rest.size());
        EXPECT_EQ(port.read(), rest);
        EXPECT_EQ(port.bytesWaiting(), 0);
    }
}

TEST_F(QtSerialPortTest, InputFromBeforeTheOpenIsDiscarded)
{
    ASSERT_TRUE(pty.send("stale reply\r"));
    ASSERT_TRUE(pty.waitForInputAtComputer(1000));
    ASSERT_TRUE(port.open());
    EXPECT_EQ(port.bytesWaiting(), 0);
    EXPECT_FALSE(port.waitForReadyRead(20));

    ASSERT_TRUE(pty.send("fresh"));
    waitForBytes(5);
    EXPECT_EQ(port.read(), "fresh");
}

TEST_F(QtSerialPortTest, CountingTakesInWhatTheSystemHoldsAndWaitsReturnForNewBytesOnly)
{
    ASSERT_TRUE(port.open());
    // Counting takes in what the system holds, without a wait.
    ASSERT_TRUE(pty.send("S"));
    ASSERT_TRUE(pty.waitForInputAtComputer(1000));
    EXPECT_EQ(port.bytesWaiting(), 1);
    EXPECT_EQ(port.read(), "S");

    ASSERT_TRUE(pty.send("x"));
    EXPECT_TRUE(port.waitForReadyRead(1000));
    EXPECT_EQ(port.bytesWaiting(), 1);
    // The byte already taken in is no news.
    EXPECT_FALSE(port.waitForReadyRead(30));
    EXPECT_EQ(port.read(), "x");
}

TEST_F(QtSerialPortTest, WaitWithoutBytesTimesOutWithoutBurningCpu)
{
    ASSERT_TRUE(port.open());
    QElapsedTimer wall;
    wall.start();
    const double cpuBefore = processCpuSeconds();
    EXPECT_FALSE(port.waitForReadyRead(300));
    const double cpu = processCpuSeconds() - cpuBefore;
    EXPECT_GE(wall.elapsed(), 290);
    EXPECT_LT(cpu, MaxCpuSecondsFor300MsWait);
    EXPECT_TRUE(port.isOpen());
    EXPECT_EQ(port.errorNumber(), SerialPort::NoError);
}

TEST_F(QtSerialPortTest, PortNumberNeedsADeviceAndAClosedPort)
{
    for (int number : {0, 2, -1}) {
        EXPECT_FALSE(port.setPortNumber(number)) << number;
        EXPECT_EQ(port.errorNumber(), SerialPort::ErrorInvalidPortNumber) << number;
        EXPECT_EQ(port.portNumber(), 1);
    }
    port.clearError();
    ASSERT_TRUE(port.open());
    EXPECT_FALSE(port.setPortNumber(1));
    EXPECT_EQ(port.errorNumber(), SerialPort::ErrorPortAlreadyOpen);
    EXPECT_FALSE(port.open());
    EXPECT_EQ(port.errorNumber(), SerialPort::ErrorPortAlreadyOpen);
}

TEST_F(QtSerialPortTest, AClosedPortNeitherReadsNorWritesAndOpensAgain)
{
    EXPECT_FALSE(port.isOpen());
    EXPECT_EQ(port.bytesWaiting(), 0);
    EXPECT_TRUE(port.read().isEmpty());
    EXPECT_FALSE(port.write("R"));
    EXPECT_EQ(port.errorNumber(), SerialPort::ErrorPortNotOpen);
    for (int round = 0; round < 3; ++round) {
        ASSERT_TRUE(port.open()) << round << ": " << port.errorDescription().toStdString();
        ASSERT_TRUE(port.write("R"));
        EXPECT_EQ(pty.receive(1, 1000), "R");
        port.close();
        EXPECT_FALSE(port.isOpen());
    }
}

// The ways another holder of the device can be met.
enum class Holder { SecondPortSamePath, SecondPortThroughLink, OtherProgramLocksIt };

class QtSerialPortHolderTest : public QtSerialPortTest, public ::testing::WithParamInterface<Holder>
{
};

TEST_P(QtSerialPortHolderTest, DeviceHeldElsewhereIsAlreadyOpen)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    QString path = pty.slavePath();
    if (GetParam() == Holder::SecondPortThroughLink) {
        // A by-id style link has its own name but is the same device.
        path = dir.filePath("usb-Quorvel-if00");
        ASSERT_TRUE(QFile::link(pty.slavePath(), path));
    }
    PortTable otherTable(PortTable::Numbering::DeviceList);
    otherTable.addDevice(path);
    QtSerialPort second(otherTable);

    int otherProgram = -1;
    if (GetParam() == Holder::OtherProgramLocksIt) {
        otherProgram = ::open(pty.slavePath().toLocal8Bit().constData(), O_RDWR | O_NOCTTY);
        ASSERT_GE(otherProgram, 0);
        ASSERT_EQ(::flock(otherProgram, LOCK_EX | LOCK_NB), 0);
    } else {
        ASSERT_TRUE(port.open());
    }

    EXPECT_FALSE(second.open());
    EXPECT_EQ(second.errorNumber(), SerialPort::ErrorPortAlreadyOpen)
        << second.errorDescription().toStdString();
    EXPECT_FALSE(second.isOpen());

    // Once the holder lets go, the device opens.
    if (otherProgram >= 0)
        ::close(otherProgram);
    port.close();
    EXPECT_TRUE(second.open()) << second.errorDescription().toStdString();
}

std::string holderName(const ::testing::TestParamInfo<Holder> &tested)
{
    static const char *const names[] = {"SecondPortSamePath", "SecondPortThroughLink",
                                        "OtherProgramLocksIt"};
    return names[static_cast<int>(tested.param)];
}

INSTANTIATE_TEST_SUITE_P(Cases, QtSerialPortHolderTest,
                         ::testing::Values(Holder::SecondPortSamePath,
                                           Holder::SecondPortThroughLink,
                                           Holder::OtherProgramLocksIt),
                         holderName);

TEST(QtSerialPortMissingTest, DeviceThatCannotBeUsedFailsWithoutClaimingItIsInUse)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString plainFile = dir.filePath("notATerminal");
    QFile file(plainFile);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("x");
    file.close();
    for (const QString &path : {dir.filePath("ttyNone0"), plainFile}) {
        SCOPED_TRACE(path.toStdString());
        PortTable table(PortTable::Numbering::DeviceList);
        table.addDevice(path);
        QtSerialPort port(table);
        EXPECT_FALSE(port.open());
        EXPECT_FALSE(port.isOpen());
        EXPECT_NE(port.errorNumber(), SerialPort::NoError);
        EXPECT_NE(port.errorNumber(), SerialPort::ErrorPortAlreadyOpen);
        EXPECT_TRUE(port.errorDescription().contains(path))
            << port.errorDescription().toStdString();
    }
}

// A hang-up met while waiting in the port (false), and one met while the event loop runs
// (true).
class QtSerialPortHangUpTest : public QtSerialPortTest, public ::testing::WithParamInterface<bool>
{
};

TEST_P(QtSerialPortHangUpTest, HangUpClosesThePortWithoutSpinning)
{
    ASSERT_TRUE(port.open());
    pty.closeMaster();

    QElapsedTimer wall;
    wall.start();
    const double cpuBefore = processCpuSeconds();
    if (GetParam()) {
        QEventLoop loop;
        QTimer::singleShot(300, &loop, &QEventLoop::quit);
        loop.exec();
    } else {
        while (wall.elapsed() < 300)
            port.waitForReadyRead(300 - static_cast<int>(wall.elapsed()));
    }
    const double cpu = processCpuSeconds() - cpuBefore;

    EXPECT_FALSE(port.isOpen());
    EXPECT_EQ(port.errorNumber(), SerialPort::ErrorDeviceLost);
    EXPECT_FALSE(port.errorDescription().isEmpty());
    EXPECT_LT(cpu, MaxCpuSecondsFor300MsWait) << "after " << wall.elapsed() << " ms";

    // The lost port stays closed: nothing to read, nothing written, waits still wait.
    EXPECT_EQ(port.bytesWaiting(), 0);
    EXPECT_FALSE(port.write("R"));
    EXPECT_EQ(port.errorNumber(), SerialPort::ErrorDeviceLost);
    const double cpuBeforeWait = processCpuSeconds();
    wall.restart();
    EXPECT_FALSE(port.waitForReadyRead(100));
    EXPECT_GE(wall.elapsed(), 90);
    EXPECT_LT(processCpuSeconds() - cpuBeforeWait, MaxCpuSecondsFor300MsWait);
}

INSTANTIATE_TEST_SUITE_P(Cases, QtSerialPortHangUpTest, ::testing::Bool(),
                         [](const ::testing::TestParamInfo<bool> &tested) {
                             return std::string(tested.param ? "WhileTheEventLoopRuns"
                                                             : "WhileWaitingInThePort");
                         });

// Tells apart the reasons QSerialPort gives one error for (most cannot be staged by a
// test that may run with every right).
TEST(OpenFailureTest, SaysWhichReasonStoppedTheOpen)
{
    struct Case
    {
        const char *name;
        QSerialPort::SerialPortError error;
        QString errorText;
        bool accessDenied;
        QString group;
        int number;
        QString description;
    };
    const QString denied = QString::fromLocal8Bit(std::strerror(EACCES));
    const Case cases[] = {
        {"UserNotInDialout", QSerialPort::PermissionError, denied, true, "dialout",
         SerialPort::ErrorPermission,
         "Permission denied on /dev/ttyUSB0: add your user to the dialout group"},
        {"DeviceOfRootOnly", QSerialPort::PermissionError, denied, true, "root",
         SerialPort::ErrorPermission,
         "Permission denied on /dev/ttyUSB0: your user may not read and write it"},
        {"LockFileOfAnotherProgram", QSerialPort::PermissionError,
         QSerialPort::tr("Permission error while locking the device"), false, "dialout",
         SerialPort::ErrorPortAlreadyOpen, "/dev/ttyUSB0 is locked by another program"},
        {"OpenedExclusivelyElsewhere", QSerialPort::PermissionError,
         QString::fromLocal8Bit(std::strerror(EBUSY)), false, "dialout",
         SerialPort::ErrorPortAlreadyOpen, "/dev/ttyUSB0 is in use by another program"},
        {"NoLockFolder", QSerialPort::PermissionError,
         QSerialPort::tr("Permission error while creating lock file"), false, "dialout",
         SerialPort::ErrorPermission,
         "Cannot lock /dev/ttyUSB0: no lock folder (/var/lock, /tmp) may be written"},
        {"Unplugged", QSerialPort::DeviceNotFoundError, "No such file or directory", false, "",
         SerialPort::ErrorOpenFailed, "No device at /dev/ttyUSB0: No such file or directory"},
        {"NotATerminal", QSerialPort::UnsupportedOperationError, "Inappropriate ioctl for device",
         false, "root", SerialErrorNumbers::UnsupportedOperation,
         "Cannot open /dev/ttyUSB0: Inappropriate ioctl for device"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        OpenFailureFacts facts;
        facts.error = c.error;
        facts.errorText = c.errorText;
        facts.path = "/dev/ttyUSB0";
        facts.accessDenied = c.accessDenied;
        facts.deviceGroup = c.group;
        const SerialFailure failure = DescribeOpenFailure(facts);
        EXPECT_EQ(failure.number, c.number);
        EXPECT_EQ(failure.description, c.description);
    }
}

} // namespace
