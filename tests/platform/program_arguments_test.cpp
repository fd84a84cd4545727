#include "platform/ProgramArguments.h"

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

struct ArgumentsCase
{
    const char *name;
    // Failure messages show the case by its name.
    friend void PrintTo(const ArgumentsCase &c, std::ostream *os) { *os << c.name; }
    QStringList args;
    QStringList devices;
    bool demo;
    QString demoModel;
    int demoPosition;
    bool help;
    QStringList rest;
    int errors;
};

class ProgramArgumentsTest : public ::testing::TestWithParam<ArgumentsCase>
{
};

TEST_P(ProgramArgumentsTest, SplitsLongOptionsFromTheRest)
{
    const ArgumentsCase &c = GetParam();
    const ProgramOptions options = ParseProgramArguments(c.args);
    EXPECT_EQ(options.devices, c.devices);
    EXPECT_EQ(options.demo, c.demo);
    EXPECT_EQ(options.demoModel, c.demoModel);
    if (c.demo) {
        EXPECT_EQ(options.demoPosition, c.demoPosition);
    }
    EXPECT_EQ(options.help, c.help);
    EXPECT_EQ(options.rest, c.rest);
    EXPECT_EQ(options.errors.size(), c.errors);
}

const QString Pts3 = QStringLiteral("/dev/pts/3");
const QString Usb1 = QStringLiteral("/dev/ttyUSB1");

INSTANTIATE_TEST_SUITE_P(
    Cases, ProgramArgumentsTest,
    ::testing::Values(
        ArgumentsCase{"Nothing", {}, {}, false, {}, 0, false, {}, 0},
        ArgumentsCase{"SlashOptionsPassThrough",
                      {"/E", "/p8", "/L"},
                      {},
                      false,
                      {},
                      0,
                      false,
                      {"/E", "/p8", "/L"},
                      0},
        // The device path contains "/P" and must not reach the option scan.
        ArgumentsCase{
            "DeviceThenPath", {"--device", Pts3, "/E"}, {Pts3}, false, {}, 0, false, {"/E"}, 0},
        ArgumentsCase{
            "DeviceWithEquals", {"/L", "--device=" + Pts3}, {Pts3}, false, {}, 0, false, {"/L"}, 0},
        ArgumentsCase{"DevicesKeepTheirOrder",
                      {"--device", Usb1, "--device=" + Pts3},
                      {Usb1, Pts3},
                      false,
                      {},
                      0,
                      false,
                      {},
                      0},
        ArgumentsCase{"DemoAlone", {"--demo"}, {}, true, {}, 0, false, {}, 0},
        ArgumentsCase{
            "DemoWithModel", {"--demo=ZQ3", "/P4"}, {}, true, "ZQ3", 0, false, {"/P4"}, 0},
        ArgumentsCase{"DemoBetweenDevices",
                      {"--device", Usb1, "--demo=ZQ5", "--device", Pts3},
                      {Usb1, Pts3},
                      true,
                      "ZQ5",
                      1,
                      false,
                      {},
                      0},
        ArgumentsCase{"LongHelp", {"--help"}, {}, false, {}, 0, true, {}, 0},
        ArgumentsCase{"ShortHelp", {"/E", "-h"}, {}, false, {}, 0, true, {"/E"}, 0},
        ArgumentsCase{"DeviceWithoutPath", {"/E", "--device"}, {}, false, {}, 0, false, {"/E"}, 1},
        ArgumentsCase{"DeviceWithEmptyPath", {"--device="}, {}, false, {}, 0, false, {}, 1},
        // "--demo" after a bare --device is the next option, not a path.
        ArgumentsCase{
            "DeviceFollowedByOption", {"--device", "--demo"}, {}, true, {}, 0, false, {}, 1},
        // Long options are written in lower case; anything else is left to the option scan.
        ArgumentsCase{"UnknownLongOption",
                      {"--Device", Pts3},
                      {},
                      false,
                      {},
                      0,
                      false,
                      {"--Device", Pts3},
                      0}),
    CaseName());

} // namespace
