// SPDX-License-Identifier: GPL-3.0-or-later
#include "QtPrinters.h"
#include "platform/PortTable.h"

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
    // Named by the user (in order), reported by the system; the paths by number. A device
    // named and reported, or twice, is listed once.
    const std::tuple<QStringList, QStringList, QStringList> cases[] = {
        {{}, {}, {}},
        {{},
         {"/dev/ttyS10", "/dev/ttyUSB0", "/dev/ttyS2", "/dev/ttyACM0"},
         {"/dev/ttyACM0", "/dev/ttyS2", "/dev/ttyS10", "/dev/ttyUSB0"}},
        {{"/dev/pts/7", "/dev/pts/3"}, {"/dev/ttyS0"}, {"/dev/pts/7", "/dev/pts/3", "/dev/ttyS0"}},
        {{"/dev/ttyUSB0"}, {"/dev/ttyS0", "/dev/ttyUSB0"}, {"/dev/ttyUSB0", "/dev/ttyS0"}},
        {{"/dev/pts/3", "/dev/pts/3/"}, {}, {"/dev/pts/3"}},
        {{}, {"/dev/ttyS1", "/dev/ttyS1"}, {"/dev/ttyS1"}},
        {{""}, {"", "/dev/ttyS0"}, {"/dev/ttyS0"}},
    };
    for (const auto &[named, system, paths] : cases) {
        PortTable table(PortTable::Numbering::DeviceList);
        for (const QString &path : named)
            table.addDevice(path);
        QList<Device> reported;
        for (const QString &path : system)
            reported.append({path, {}});
        table.addSystemPorts(reported);
        EXPECT_EQ(pathsOf(table), paths);
    }
}

// A by-id link and the device it points to are one device: it keeps the name the user
// gave, with the system's description.
TEST(PortTableTest, LooksUpBothWaysThroughLinksAndDescribesEachNumber)
{
    QTemporaryDir dir;
    const QString device = dir.filePath("ttyUSB0"), link = dir.filePath("usb-FTDI-if00-port0");
    QFile file(device);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly) && QFile::link(device, link));
    PortTable table(PortTable::Numbering::DeviceList);
    EXPECT_EQ(table.addDevice(link), 1);
    table.addSystemPorts(
        {{"/dev/ttyS0", {}}, {device, "FTDI FT232R"}, {"/dev/ttyUSB1", "FTDI USB Serial"}});
    EXPECT_EQ(pathsOf(table), QStringList({link, "/dev/ttyS0", "/dev/ttyUSB1"}));
    EXPECT_EQ(std::tuple(table.numberOf(device), table.numberOf(link),
                         table.numberOf("/dev/ttyUSB1"), table.numberOf("/dev/ttyUSB9")),
              std::tuple(1, 1, 3, 0));
    EXPECT_EQ(std::tuple(table.describe(1), table.describe(2), table.describe(3)),
              std::tuple(link + " \u2014 FTDI FT232R", "/dev/ttyS0",
                         "/dev/ttyUSB1 \u2014 FTDI USB Serial"));
    for (int outside : {-1, 0, 4})
        EXPECT_EQ(table.devicePath(outside) + table.describe(outside), "") << outside;
    // The map the trace records.
    EXPECT_EQ(table.mapLines(),
              QStringList({"COM 1 = " + link + " \u2014 FTDI FT232R", "COM 2 = /dev/ttyS0",
                           "COM 3 = /dev/ttyUSB1 \u2014 FTDI USB Serial"}));
    // Naming a device again keeps its number.
    EXPECT_EQ(table.addDevice("/dev/ttyS0"), 2);
    // A system port with a link in the by-id folder goes by the link's name.
    const auto named = PortTable::withStableNames({{"/dev/ttyS0", {}}, {device, "F"}}, dir.path());
    EXPECT_EQ(std::tuple(named.at(0).path, named.at(1).path, named.at(1).description),
              std::tuple("/dev/ttyS0", link, "F"));
}

TEST(PortTableTest, ComNamesNeedNoListing)
{
    PortTable table(PortTable::Numbering::ComNames);
    table.addSystemPorts({{"COM4", "USB Serial Port"}});
    EXPECT_EQ(
        std::tuple(table.count(), table.devicePath(3), table.devicePath(0), table.devicePath(256),
                   table.describe(3), table.describe(4)),
        std::tuple(PortTable::MaxComNumber, "COM3", "", "", "COM3", "COM4 \u2014 USB Serial Port"));
    EXPECT_EQ(table.addDevice("COM9"), 9);
    EXPECT_EQ(table.mapLines(), QStringList{"COM 4 = COM4 \u2014 USB Serial Port"});
    // The number is the COM number, whatever the spelling; anything else is none.
    const std::pair<QString, int> names[] = {
        {"COM1", 1},   {"com12", 12}, {"\\\\.\\COM7", 7}, {"COM255", 255},
        {"COM256", 0}, {"COM0", 0},   {"/dev/ttyS0", 0},  {"", 0},
    };
    for (const auto &[name, number] : names)
        EXPECT_EQ(table.numberOf(name), number) << name.toStdString();
}

} // namespace
