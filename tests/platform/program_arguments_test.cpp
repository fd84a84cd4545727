// SPDX-License-Identifier: GPL-3.0-or-later
#include "QtPrinters.h"
#include "platform/DisplayCheck.h"
#include "platform/ProgramArguments.h"

#include <gtest/gtest.h>

namespace {

const QString P3 = QStringLiteral("/dev/pts/3");
const QString U1 = QStringLiteral("/dev/ttyUSB1");

TEST(ProgramArgumentsTest, SplitsLongOptionsFromTheRest)
{
    // Arguments; devices, demo, demo model, demo position, help, the rest, errors.
    const std::tuple<QStringList, QStringList, bool, QString, int, bool, QStringList, int> cases[] =
        {
            {{}, {}, false, {}, 0, false, {}, 0},
            {{"/E", "/p8", "/L"}, {}, false, {}, 0, false, {"/E", "/p8", "/L"}, 0},
            // The device path contains "/P" and must not reach the option scan.
            {{"--device", P3, "/E"}, {P3}, false, {}, 0, false, {"/E"}, 0},
            {{"/L", "--device=" + P3}, {P3}, false, {}, 0, false, {"/L"}, 0},
            // Devices keep their order.
            {{"--device", U1, "--device=" + P3}, {U1, P3}, false, {}, 0, false, {}, 0},
            {{"--demo"}, {}, true, {}, 0, false, {}, 0},
            {{"--demo=ZQ3", "/P4"}, {}, true, "ZQ3", 0, false, {"/P4"}, 0},
            {{"--device", U1, "--demo=ZQ5", "--device", P3},
             {U1, P3},
             true,
             "ZQ5",
             1,
             false,
             {},
             0},
            {{"--help"}, {}, false, {}, 0, true, {}, 0},
            {{"/E", "-h"}, {}, false, {}, 0, true, {"/E"}, 0},
            // A device option without a path, or with an empty one, is an error.
            {{"/E", "--device"}, {}, false, {}, 0, false, {"/E"}, 1},
            {{"--device="}, {}, false, {}, 0, false, {}, 1},
            // "--demo" after a bare --device is the next option, not a path.
            {{"--device", "--demo"}, {}, true, {}, 0, false, {}, 1},
            // Long options are written in lower case; any other is an error.
            {{"--Device", P3}, {}, false, {}, 0, false, {P3}, 1},
            {{"--devcie", P3, "/E"}, {}, false, {}, 0, false, {P3, "/E"}, 1},
            // So is an unknown word with one dash; a negative number is the value of /P,
            // and the window system's own options are left to it.
            {{"-x", "/E"}, {}, false, {}, 0, false, {"/E"}, 1},
            {{"/P", "-3", "-.5", "-"}, {}, false, {}, 0, false, {"/P", "-3", "-.5", "-"}, 0},
            {{"-platform", "offscreen", "-reverse", "/L"}, {}, false, {}, 0, false, {"/L"}, 0},
        };
    for (const auto &[args, devices, demo, model, position, help, rest, errors] : cases) {
        SCOPED_TRACE(args.join(' ').toStdString());
        const ProgramOptions o = ParseProgramArguments(args);
        EXPECT_EQ(std::tuple(o.devices, o.demo, o.demoModel, o.help, o.rest, o.errors.size()),
                  std::tuple(devices, demo, model, help, rest, errors));
        // Where the simulator stands among the devices matters only with --demo.
        EXPECT_EQ(o.demo ? o.demoPosition : 0, position);
    }
    // --trace takes the next argument or its value as the file; without one it is an error.
    for (const auto &[args, file, errors] :
         {std::tuple<QStringList, QString, int>{{"--trace", "/tmp/t.txt", "/E"}, "/tmp/t.txt", 0},
          {{"--trace=line.log"}, "line.log", 0},
          {{"--trace", "--demo"}, {}, 1},
          {{"--trace="}, {}, 1}}) {
        const ProgramOptions o = ParseProgramArguments(args);
        EXPECT_EQ(std::tuple(o.traceFile, int(o.errors.size())), std::tuple(file, errors))
            << args.join(' ').toStdString();
    }
    EXPECT_TRUE(ParseProgramArguments({"/E", "--version"}).version);
    // An oversized argument is not echoed whole.
    const QStringList errors = ParseProgramArguments({"--" + QString(5000, 'x')}).errors;
    EXPECT_EQ(errors, QStringList{"unknown option --" + QString(38, 'x') + "..."});
    EXPECT_EQ(ParseProgramArguments({"-x"}).errors, QStringList{"unknown option -x"});
}

// The window programs start only where a window can open: a display named, or Qt told
// which platform to use; an empty variable is as good as none.
TEST(ProgramArgumentsTest, DisplayAvailableFromTheEnvironment)
{
    const std::pair<QStringList, bool> cases[] = {
        {{}, false},
        {{"DISPLAY=:0"}, true},
        {{"WAYLAND_DISPLAY=wayland-0"}, true},
        {{"QT_QPA_PLATFORM=offscreen"}, true},
        {{"DISPLAY=", "WAYLAND_DISPLAY="}, false},
        {{"QT_QPA_PLATFORM=", "HOME=/root", "XDG_SESSION_TYPE=x11"}, false},
    };
    for (const auto &[variables, available] : cases) {
        QProcessEnvironment environment;
        for (const QString &variable : variables)
            environment.insert(variable.section('=', 0, 0), variable.section('=', 1));
        EXPECT_EQ(DisplayAvailable(environment), available) << variables.join(' ').toStdString();
    }
}

} // namespace
