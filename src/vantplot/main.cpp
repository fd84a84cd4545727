// Vantplot: graphs of the dataset files a download writes and of the PC log files of the
// logging window.
#include "app/GuiUserPrompts.h"
#include "platform/DisplayCheck.h"
#include "platform/ui/GuiFileDialogs.h"
#include "plot/ui/PlotWindow.h"

#include "version.h"

#include <QApplication>
#include <QIcon>
#include <QTimer>

#include <cstdio>

namespace {

const char Usage[] =
    "Usage: vantplot [options] [FILE...]\n"
    "\n"
    "Shows the dataset files written by a download and the log files written by the\n"
    "logging window of Quorvel as graphs against time, with a daily summary. Several\n"
    "files are shown together, each with its own graphs.\n"
    "\n"
    "  --help          show this text\n"
    "  --version       show the program's version\n"
    "\n"
    "In the window: the wheel zooms the time axis, dragging pans, Ctrl+drag zooms into\n"
    "a rectangle, Home shows all data; a click on a legend entry shows or hides its\n"
    "graph. Files can also be opened with File > Open or dropped on the window.\n";

} // namespace

int main(int argc, char **argv)
{
    // The options are read before the window system is reached, so --help and --version
    // work without a display.
    QStringList files;
    bool onlyFiles = false;
    for (int i = 1; i < argc; ++i) {
        const QString arg = QString::fromLocal8Bit(argv[i]);
        if (onlyFiles || !arg.startsWith(QLatin1Char('-'))) {
            files.append(arg);
        } else if (arg == QLatin1String("--")) {
            onlyFiles = true;
        } else if (arg == QLatin1String("--help") || arg == QLatin1String("-h")) {
            std::fputs(Usage, stdout);
            return 0;
        } else if (arg == QLatin1String("--version")) {
            std::printf("vantplot %s\n", QUORVEL_VERSION_STRING);
            return 0;
        } else {
            std::fprintf(stderr, "vantplot: unknown option %s\n%s", qPrintable(arg), Usage);
            return 2;
        }
    }

    if (!CheckDisplay())
        return 1;
    QApplication app(argc, argv);
    // The pictures live in the window library: its resources are registered by name.
    Q_INIT_RESOURCE(quorvel);
    QApplication::setApplicationName(QStringLiteral("Vantplot"));
    QApplication::setApplicationVersion(QStringLiteral(QUORVEL_VERSION_STRING));
    QApplication::setDesktopFileName(QStringLiteral(VANTPLOT_DESKTOP_ID));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/pictures/vantplot.svg")));
    GuiUserPrompts prompts;
    GuiFileDialogs dialogs;
    PlotWindow window(prompts, dialogs);
    prompts.setParentWindow(&window);
    dialogs.setOwner(&window);
    window.show();
    // The files are read once the window is on the screen, so that a long read shows its
    // progress over it.
    QTimer::singleShot(0, &window, [&window, files] { window.openFiles(files); });
    return QApplication::exec();
}
