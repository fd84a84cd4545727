// SPDX-License-Identifier: GPL-3.0-or-later
// quorvel-cli: the instrument from the command line, for stations without a display.
#include "cli/CliOptions.h"
#include "cli/CliUsage.h"
#include "cli/ExitCode.h"
#include "cli/InstrumentCommands.h"
#include "cli/InterruptWatch.h"

#include "version.h"

#include <QCoreApplication>
#include <QTextStream>

#include <cstdio>

int main(int argc, char **argv)
{
    QStringList args;
    for (int i = 1; i < argc; ++i)
        args.append(QString::fromLocal8Bit(argv[i]));
    QTextStream out(stdout);
    QTextStream err(stderr);
    const CliParseResult parsed = ParseCliArguments(args);
    if (!parsed.error.isEmpty()) {
        err << "quorvel-cli: " << parsed.error << Qt::endl;
        return ExitCode::Usage;
    }
    if (parsed.options.help) {
        out << CliUsage() << Qt::flush;
        return ExitCode::Done;
    }
    if (parsed.options.version) {
        out << "quorvel-cli " << QUORVEL_VERSION_STRING << Qt::endl;
        return ExitCode::Done;
    }

    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("quorvel-cli"));
    // The trace's header names the program and its version.
    QCoreApplication::setApplicationVersion(QStringLiteral(QUORVEL_VERSION_STRING));
    InterruptWatch interrupts;
    Console console{out, err};
    return RunCliCommand(parsed.options, console, interrupts);
}
