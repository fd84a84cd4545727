#include "platform/ProgramArguments.h"

#include <gtest/gtest.h>

namespace {

const QString P3 = QStringLiteral("/dev/pts/3");
const QString U1 = QStringLiteral("/dev/ttyUSB1");

TEST(ProgramArgumentsTest, SplitsLongOptionsFromTheRest)
{
    struct Case
    {
        QStringList args;
        QStringList devices;
        bool demo;
        QString demoModel;
        int demoPosition;
        bool help;
        QStringList rest;
        int errors;
    };
    const Case cases[] = {
        {{}, {}, false, {}, 0, false, {}, 0},
        {{"/E", "/p8", "/L"}, {}, false, {}, 0, false, {"/E", "/p8", "/L"}, 0},
        // The device path contains "/P" and must not reach the option scan.
        {{"--device", P3, "/E"}, {P3}, false, {}, 0, false, {"/E"}, 0},
        {{"/L", "--device=" + P3}, {P3}, false, {}, 0, false, {"/L"}, 0},
        // Devices keep their order.
        {{"--device", U1, "--device=" + P3}, {U1, P3}, false, {}, 0, false, {}, 0},
        {{"--demo"}, {}, true, {}, 0, false, {}, 0},
        {{"--demo=ZQ3", "/P4"}, {}, true, "ZQ3", 0, false, {"/P4"}, 0},
        {{"--device", U1, "--demo=ZQ5", "--device", P3}, {U1, P3}, true, "ZQ5", 1, false, {}, 0},
        {{"--help"}, {}, false, {}, 0, true, {}, 0},
        {{"/E", "-h"}, {}, false, {}, 0, true, {"/E"}, 0},
        // A device option without a path, or with an empty one, is an error.
        {{"/E", "--device"}, {}, false, {}, 0, false, {"/E"}, 1},
        {{"--device="}, {}, false, {}, 0, false, {}, 1},
        // "--demo" after a bare --device is the next option, not a path.
        {{"--device", "--demo"}, {}, true, {}, 0, false, {}, 1},
        // Long options are written in lower case; anything else is left to the option scan.
        {{"--Device", P3}, {}, false, {}, 0, false, {"--Device", P3}, 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.args.join(QLatin1Char(' ')).toStdString());
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
}

} // namespace
