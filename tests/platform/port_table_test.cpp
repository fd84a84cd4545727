#include "platform/PortTable.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

using Device = PortTable::Device;

QStringList pathsOf(const PortTable &table)
{
    QStringList paths;
    for (int number = 1; number <= table.count(); ++number)
        paths.append(table.devicePath(number));
    return paths;
}

TEST(PortTableTest, NumbersNamedDevicesFirstThenSystemPortsByPath)
{
    struct Case
    {
        const char *name;
        QStringList named;
        QList<Device> system;
        QStringList expected;
    };
    const Case cases[] = {
        {"Empty", {}, {}, {}},
        {"SystemPortsSortedAsRead",
         {},
         {{"/dev/ttyS10", {}}, {"/dev/ttyUSB0", {}}, {"/dev/ttyS2", {}}, {"/dev/ttyACM0", {}}},
         {"/dev/ttyACM0", "/dev/ttyS2", "/dev/ttyS10", "/dev/ttyUSB0"}},
        {"NamedFirstAsGiven",
         {"/dev/pts/7", "/dev/pts/3"},
         {{"/dev/ttyS0", {}}},
         {"/dev/pts/7", "/dev/pts/3", "/dev/ttyS0"}},
        {"NamedSystemPortOnce",
         {"/dev/ttyUSB0"},
         {{"/dev/ttyS0", {}}, {"/dev/ttyUSB0", {}}},
         {"/dev/ttyUSB0", "/dev/ttyS0"}},
        {"DeviceNamedTwiceOnce", {"/dev/pts/3", "/dev/pts/3/"}, {}, {"/dev/pts/3"}},
        {"SystemPortTwiceOnce", {}, {{"/dev/ttyS1", {}}, {"/dev/ttyS1", {}}}, {"/dev/ttyS1"}},
        {"EmptyPathsIgnored", {""}, {{"", {}}, {"/dev/ttyS0", {}}}, {"/dev/ttyS0"}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        PortTable table(PortTable::Numbering::DeviceList);
        for (const QString &path : c.named)
            table.addDevice(path);
        table.addSystemPorts(c.system);
        EXPECT_EQ(pathsOf(table), c.expected);
    }
}

TEST(PortTableTest, LooksUpBothWaysAndDescribesEachNumber)
{
    PortTable table(PortTable::Numbering::DeviceList);
    EXPECT_EQ(table.addDevice("/dev/pts/3"), 1);
    table.addSystemPorts({{"/dev/ttyUSB0", "FTDI USB Serial"}, {"/dev/ttyS0", {}}});

    ASSERT_EQ(table.count(), 3);
    EXPECT_EQ(table.devicePath(2), "/dev/ttyS0");
    EXPECT_EQ(table.numberOf("/dev/ttyUSB0"), 3);
    EXPECT_EQ(table.numberOf("/dev/ttyUSB9"), 0);
    EXPECT_EQ(table.describe(1), "/dev/pts/3");
    EXPECT_EQ(table.describe(3), QString::fromUtf8("/dev/ttyUSB0 \u2014 FTDI USB Serial"));
    for (int outside : {-1, 0, 4}) {
        EXPECT_TRUE(table.devicePath(outside).isEmpty()) << outside;
        EXPECT_TRUE(table.describe(outside).isEmpty()) << outside;
    }
    // Naming a device again keeps its number.
    EXPECT_EQ(table.addDevice("/dev/ttyS0"), 2);
}

TEST(PortTableTest, LinkAndTheDeviceItPointsToCountOnce)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString device = dir.filePath("ttyUSB0");
    QFile file(device);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();
    ASSERT_TRUE(QDir(dir.path()).mkdir("by-id"));
    const QString link = dir.filePath("by-id/usb-FTDI_FT232R-if00-port0");
    ASSERT_TRUE(QFile::link(device, link));

    PortTable table(PortTable::Numbering::DeviceList);
    EXPECT_EQ(table.addDevice(link), 1);
    table.addSystemPorts({{device, "FTDI FT232R USB UART"}, {"/dev/ttyS0", {}}});

    EXPECT_EQ(pathsOf(table), QStringList({link, "/dev/ttyS0"}));
    EXPECT_EQ(table.numberOf(device), 1);
    EXPECT_EQ(table.numberOf(link), 1);
    // The system's description of the device shows for the name the user gave.
    EXPECT_EQ(table.describe(1), link + QString::fromUtf8(" \u2014 FTDI FT232R USB UART"));
}

TEST(PortTableTest, ComNamesNeedNoListing)
{
    PortTable table(PortTable::Numbering::ComNames);
    table.addSystemPorts({{"COM4", "USB Serial Port"}});
    EXPECT_EQ(table.count(), PortTable::MaxComNumber);
    EXPECT_EQ(table.devicePath(3), "COM3");
    EXPECT_TRUE(table.devicePath(0).isEmpty());
    EXPECT_TRUE(table.devicePath(256).isEmpty());
    EXPECT_EQ(table.describe(3), "COM3");
    EXPECT_EQ(table.describe(4), QString::fromUtf8("COM4 \u2014 USB Serial Port"));
    EXPECT_EQ(table.addDevice("COM9"), 9);

    // The number is the COM number, whatever the spelling; anything else is none.
    const std::pair<QString, int> names[] = {
        {"COM1", 1},   {"com12", 12}, {"\\\\.\\COM7", 7}, {"COM255", 255},
        {"COM256", 0}, {"COM0", 0},   {"/dev/ttyS0", 0},  {"", 0},
    };
    for (const auto &[name, number] : names)
        EXPECT_EQ(table.numberOf(name), number) << name.toStdString();
}

} // namespace
