// SPDX-License-Identifier: GPL-3.0-or-later
// Quorvel: reads and configures the ZQ2..ZQ5 sunshine sensors and the VTA1 pyranometer
// on a serial port.
#include "DemoSimulator.h"
#include "app/GuiUserPrompts.h"
#include "app/frmAboutFactory.h"
#include "app/frmDisplay.h"
#include "app/frmLoggerFactory.h"
#include "app/frmPCLogFactory.h"
#include "app/frmZQ4Factory.h"
#include "link/LinkTrace.h"
#include "link/TracingSerialPort.h"
#include "platform/DisplayCheck.h"
#include "platform/PortTable.h"
#include "platform/ProgramArguments.h"
#include "platform/ProgramTitle.h"
#include "platform/QtSerialPort.h"
#include "platform/SystemClock.h"

#include "version.h"

#include <QApplication>
#include <QIcon>

#include <cstdio>
#include <memory>
#include <optional>

namespace {

const char Usage[] =
    "Usage: quorvel [options]\n"
    "\n"
    "  --demo[=MODEL]  start the built-in simulator and list it as the first port\n"
    "                  (MODEL: ZQ2, ZQ3, ZQ3v2, ZQ4, ZQ5 or VTA1; default ZQ5)\n"
    "  --device PATH   list the serial device PATH before the system's ports\n"
    "                  (may be given several times)\n"
    "  --trace FILE    write every exchange on the serial line to FILE (for support)\n"
    "  /E              show the Test menu with the terminal\n"
    "  /L              show the built-in-logger menu and the log status\n"
    "  /Pn             search serial ports 1 to n for an instrument (default 16)\n"
    "  --help          show this text\n"
    "  --version       show the program's version\n"
    "\n"
    "The /E, /L and /P options are matched anywhere on the command line, in any case.\n"
    "Port n of the program (\"COM n\") is the n-th device listed: the simulator, the\n"
    "--device paths, then the system's serial ports; the Serial port menu shows which.\n";

int failure(const QString &text)
{
    std::fprintf(stderr, "quorvel: %s\n", qPrintable(text));
    return 2;
}

} // namespace

int main(int argc, char **argv)
{
    // The options are read before the window system is reached, so --help works
    // without a display.
    QStringList args;
    for (int i = 1; i < argc; ++i)
        args.append(QString::fromLocal8Bit(argv[i]));
    const ProgramOptions options = ParseProgramArguments(args);
    if (options.help) {
        std::fputs(Usage, stdout);
        return 0;
    }
    if (options.version) {
        std::printf("quorvel %s\n", QUORVEL_VERSION_STRING);
        return 0;
    }
    if (!options.errors.isEmpty())
        return failure(options.errors.join(QStringLiteral("; ")));
    std::optional<SimModel> demoModel;
    if (options.demo) {
        demoModel =
            modelFromName(options.demoModel.isEmpty() ? QStringLiteral("ZQ5") : options.demoModel);
        if (!demoModel)
            return failure(QStringLiteral("unknown model ") +
                           ArgumentForMessage(options.demoModel) + QStringLiteral(" (") +
                           QLatin1String(KnownModelNames) + QLatin1Char(')'));
    }

    // Without a display Qt would abort with a hint to reinstall: say what is missing.
    if (!CheckDisplay())
        return 1;
    QApplication app(argc, argv);
    QApplication::setApplicationName(ProgramTitle);
    QApplication::setApplicationVersion(QStringLiteral(QUORVEL_VERSION_STRING));
    // The desktop entry's name, so that the desktop shows the window under its icon.
    QApplication::setDesktopFileName(QStringLiteral(QUORVEL_DESKTOP_ID));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/pictures/app.svg")));

    std::unique_ptr<DemoSimulator> simulator;
    PortTable table;
    if (demoModel) {
        int demoPort = 0;
        QString demoError;
        simulator = DemoSimulator::startInTable(*demoModel, table, demoPort, demoError);
        if (!simulator)
            return failure(demoError);
    }
    for (const QString &device : options.devices)
        table.addDevice(device);
    table.addSystemPorts(PortTable::systemPorts());

    QString traceError;
    if (!options.traceFile.isEmpty() && !StartLinkTrace(options.traceFile, traceError))
        return failure(QStringLiteral("cannot write the trace: ") + traceError);
    TracePorts(table.mapLines());

    int result = 0;
    {
        SystemClock clock;
        QtSerialPort serialPort(table);
        TracingSerialPort port(serialPort);
        GuiUserPrompts prompts;
        frmDisplay window(port, clock, prompts, &table);
        prompts.setParentWindow(&window);
        window.windows.terminal = TerminalWindowFactory();
        window.windows.pcLog = PCLogWindowFactory(clock, prompts);
        window.windows.logger = LoggerWindowFactory(clock, prompts);
        window.windows.about = AboutBoxFactory(clock);
        window.startUp(options.rest.join(QLatin1Char(' ')));
        result = QApplication::exec();
    }
    // The window (and with it the port) is gone; now the simulator may stop.
    simulator.reset();
    StopLinkTrace();
    return result;
}
