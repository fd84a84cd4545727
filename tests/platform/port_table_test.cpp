#include "platform/PortTable.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <ostream>

namespace {

// Names each case of a table after its `name`.
struct CaseName
{
    template <class Case> std::string operator()(const ::testing::TestParamInfo<Case> &tested) const
    {
        return tested.param.name;
    }
};

using Device = PortTable::Device;

QStringList pathsOf(const PortTable &table)
{
    QStringList paths;
    for (int number = 1; number <= table.count(); ++number)
        paths.append(table.devicePath(number));
    return paths;
}

struct OrderCase
{
    const char *name;
    // Failure messages show the case by its name.
    friend void PrintTo(const OrderCase &c, std::ostream *os) { *os << c.name; }
    QStringList named;
    QList<Device> system;
    QStringList expected;
};

class PortTableOrderTest : public ::testing::TestWithParam<OrderCase>
{
};

TEST_P(PortTableOrderTest, NumbersNamedDevicesFirstThenSystemPortsByPath)
{
    const OrderCase &c = GetParam();
    PortTable table(PortTable::Numbering::DeviceList);
    for (const QString &path : c.named)
        table.addDevice(path);
    table.addSystemPorts(c.system);
    EXPECT_EQ(pathsOf(table), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, PortTableOrderTest,
    ::testing::Values(
        OrderCase{"Empty", {}, {}, {}},
        OrderCase{
            "SystemPortsSortedAsRead",
            {},
            {{"/dev/ttyS10", {}}, {"/dev/ttyUSB0", {}}, {"/dev/ttyS2", {}}, {"/dev/ttyACM0", {}}},
            {"/dev/ttyACM0", "/dev/ttyS2", "/dev/ttyS10", "/dev/ttyUSB0"}},
        OrderCase{"NamedDevicesFirstInTheOrderGiven",
                  {"/dev/pts/7", "/dev/pts/3"},
                  {{"/dev/ttyS0", {}}},
                  {"/dev/pts/7", "/dev/pts/3", "/dev/ttyS0"}},
        OrderCase{"SystemPortAlreadyNamedListedOnce",
                  {"/dev/ttyUSB0"},
                  {{"/dev/ttyS0", {}}, {"/dev/ttyUSB0", {}}},
                  {"/dev/ttyUSB0", "/dev/ttyS0"}},
        OrderCase{"DeviceNamedTwiceListedOnce", {"/dev/pts/3", "/dev/pts/3/"}, {}, {"/dev/pts/3"}},
        OrderCase{"SystemPortReportedTwiceListedOnce",
                  {},
                  {{"/dev/ttyS1", {}}, {"/dev/ttyS1", {}}},
                  {"/dev/ttyS1"}},
        OrderCase{"EmptyPathsIgnored", {""}, {{"", {}}, {"/dev/ttyS0", {}}}, {"/dev/ttyS0"}}),
    CaseName());

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

struct ComCase
{
    const char *name;
    // Failure messages show the case by its name.
    friend void PrintTo(const ComCase &c, std::ostream *os) { *os << c.name; }
    QString path;
    int number;
};

class PortTableComNamesTest : public ::testing::TestWithParam<ComCase>
{
};

TEST_P(PortTableComNamesTest, NumberIsTheComNumber)
{
    const PortTable table(PortTable::Numbering::ComNames);
    EXPECT_EQ(table.numberOf(GetParam().path), GetParam().number);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, PortTableComNamesTest,
    ::testing::Values(ComCase{"Com1", "COM1", 1}, ComCase{"LowerCase", "com12", 12},
                      ComCase{"DevicePrefix", "\\\\.\\COM7", 7}, ComCase{"Highest", "COM255", 255},
                      ComCase{"TooHigh", "COM256", 0}, ComCase{"Zero", "COM0", 0},
                      ComCase{"UnixPath", "/dev/ttyS0", 0}, ComCase{"Empty", "", 0}),
    CaseName());

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
}

} // namespace
