// SPDX-License-Identifier: GPL-3.0-or-later
// Vantplot: graphs of the dataset files a download writes and of the PC log files of the
// logging window; without a window, their daily summary or a picture of them.
#include "app/GuiUserPrompts.h"
#include "platform/DisplayCheck.h"
#include "platform/ui/GuiFileDialogs.h"
#include "plot/ui/PlotWindow.h"
#include "plot/ui/VantplotCommand.h"

#include "version.h"

#include <QApplication>
#include <QTimer>

#include <cstdio>

int main(int argc, char **argv)
{
    // The options are read before the window system is reached, so that --help,
    // --version, --summary and --export work without a display.
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments.append(QString::fromLocal8Bit(argv[i]));
    const VantplotCommand command = VantplotCommand::Parse(arguments);
    switch (command.mode) {
    case VantplotCommand::Mode::Help:
        std::fputs(VantplotCommand::Usage(), stdout);
        return 0;
    case VantplotCommand::Mode::Version:
        std::printf("vantplot %s\n", QUORVEL_VERSION_STRING);
        return 0;
    case VantplotCommand::Mode::Bad:
        std::fprintf(stderr, "vantplot: %s\n%s", qPrintable(command.error),
                     VantplotCommand::Usage());
        return 2;
    case VantplotCommand::Mode::Summary: {
        QCoreApplication app(argc, argv);
        return RunSummary(command, stdout, stderr);
    }
    case VantplotCommand::Mode::Export: {
        // Drawn off the screen, for scripts and timers without a display.
        qputenv("QT_QPA_PLATFORM", "offscreen");
        QApplication app(argc, argv);
        return RunExport(command, stderr);
    }
    case VantplotCommand::Mode::Window:
        break;
    }

    if (!CheckDisplay())
        return 1;
    QApplication app(argc, argv);
    // The pictures live in the window library: its resources are registered by name.
    Q_INIT_RESOURCE(quorvel);
    QApplication::setApplicationName(QStringLiteral("Vantplot"));
    QApplication::setApplicationVersion(QStringLiteral(QUORVEL_VERSION_STRING));
    QApplication::setDesktopFileName(QStringLiteral(VANTPLOT_DESKTOP_ID));
    GuiUserPrompts prompts;
    GuiFileDialogs dialogs;
    PlotWindow window(prompts, dialogs);
    // The window loads its own icon; the application's is the same for the dialogs.
    QApplication::setWindowIcon(window.windowIcon());
    prompts.setParentWindow(&window);
    dialogs.setOwner(&window);
    window.show();
    // The files are read once the window is on the screen, so that a long read shows its
    // progress over it.
    const QStringList files = command.files;
    QTimer::singleShot(0, &window, [&window, files] { window.openFiles(files); });
    return QApplication::exec();
}
