// SPDX-License-Identifier: GPL-3.0-or-later
#include "plot/ui/VantplotCommand.h"

#include "plot/DailySummary.h"
#include "plot/PlotFileReader.h"
#include "plot/ui/PlotExport.h"
#include "plot/ui/PlotView.h"
#include "plot/ui/SeriesSet.h"
#include "plot/ui/SummaryTable.h"
#include "plot/ui/WallClock.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>

#include <memory>
#include <vector>

namespace {

constexpr double Day = 86400.0;

const char UsageText[] =
    "Usage: vantplot [options] [FILE...]\n"
    "       vantplot --summary FILE...\n"
    "       vantplot --export OUT.png|OUT.pdf|OUT.csv [--size WxH] [--from T] [--to T] FILE...\n"
    "\n"
    "Shows the dataset files written by a download and the log files written by the\n"
    "logging window of Quorvel as graphs against time, with a daily summary. Several\n"
    "files are shown together, each with its own graphs.\n"
    "\n"
    "  --summary       print the daily summary of the files (tab-separated, as \"Copy\n"
    "                  daily summary\") and end, without a window\n"
    "  --export OUT    write the plot (PNG, PDF) or the records (CSV) of the files into\n"
    "                  OUT and end, without a window\n"
    "  --size WxH      the picture's size in pixels (1280x720)\n"
    "  --from T        the start of the range: \"2026-06-01 12:00\" or a date\n"
    "  --to T          the end of the range (a date alone: the end of that day)\n"
    "  --help          show this text\n"
    "  --version       show the program's version\n"
    "\n"
    "Times are the files' own, as written. Exit status: 0 done, 1 a file could not be\n"
    "read or written, 2 bad arguments.\n"
    "\n"
    "In the window: the wheel zooms the time axis, dragging pans, Ctrl+drag zooms into\n"
    "a rectangle, Home shows all data, D one day, PgUp and PgDn the day before and after,\n"
    "the arrow keys pan, + and - zoom, F5 reads the files again; a click on a legend\n"
    "entry shows or hides its graph. Files can also be opened with File > Open or dropped\n"
    "on the window.\n";

// A wall-clock time given on the command line; a date alone is its day's start, or its
// end when `endOfDay`.
bool ParseTime(const QString &text, bool endOfDay, double &key)
{
    const QDate date = QDate::fromString(text, Qt::ISODate);
    if (date.isValid()) {
        key = WallClock::ToKey(date) + (endOfDay ? Day : 0);
        return true;
    }
    QString iso = text;
    iso.replace(QLatin1Char(' '), QLatin1Char('T'));
    const QDateTime time = QDateTime::fromString(iso, Qt::ISODate);
    if (!time.isValid() || iso.size() > 19) // no time zone: the files have none
        return false;
    key = WallClock::ToKey(time);
    return true;
}

VantplotCommand Bad(const QString &why)
{
    VantplotCommand command;
    command.mode = VantplotCommand::Mode::Bad;
    command.error = why;
    return command;
}

} // namespace

const char *VantplotCommand::Usage()
{
    return UsageText;
}

VantplotCommand VantplotCommand::Parse(const QStringList &arguments)
{
    VantplotCommand command;
    bool onlyFiles = false;
    bool sized = false;
    for (int i = 0; i < arguments.size(); ++i) {
        const QString &arg = arguments.at(i);
        if (onlyFiles || !arg.startsWith(QLatin1Char('-')) || arg == QLatin1String("-")) {
            command.files.append(arg);
            continue;
        }
        if (arg == QLatin1String("--")) {
            onlyFiles = true;
        } else if (arg == QLatin1String("--help") || arg == QLatin1String("-h")) {
            command.mode = Mode::Help;
            return command;
        } else if (arg == QLatin1String("--version")) {
            command.mode = Mode::Version;
            return command;
        } else if (arg == QLatin1String("--summary")) {
            if (command.mode != Mode::Window)
                return Bad(QStringLiteral("--summary and --export cannot go together"));
            command.mode = Mode::Summary;
        } else if (arg == QLatin1String("--export") || arg == QLatin1String("--size") ||
                   arg == QLatin1String("--from") || arg == QLatin1String("--to")) {
            if (i + 1 >= arguments.size())
                return Bad(QStringLiteral("%1 needs a value").arg(arg));
            const QString value = arguments.at(++i);
            if (arg == QLatin1String("--export")) {
                if (command.mode != Mode::Window)
                    return Bad(QStringLiteral("--summary and --export cannot go together"));
                const QString suffix = QFileInfo(value).suffix().toLower();
                if (suffix != QLatin1String("png") && suffix != QLatin1String("pdf") &&
                    suffix != QLatin1String("csv"))
                    return Bad(QStringLiteral("--export writes a .png, .pdf or .csv file, not %1")
                                   .arg(value));
                command.mode = Mode::Export;
                command.output = value;
            } else if (arg == QLatin1String("--size")) {
                const QRegularExpressionMatch match =
                    QRegularExpression(QStringLiteral("^(\\d{2,5})x(\\d{2,5})$")).match(value);
                const int width = match.captured(1).toInt();
                const int height = match.captured(2).toInt();
                if (!match.hasMatch() || width < 100 || height < 100 || width > 20000 ||
                    height > 20000)
                    return Bad(QStringLiteral("--size takes WIDTHxHEIGHT in pixels, 100 to "
                                              "20000 each, not %1")
                                   .arg(value));
                command.size = QSize(width, height);
                sized = true;
            } else {
                const bool isTo = arg == QLatin1String("--to");
                double &key = isTo ? command.to : command.from;
                if (!ParseTime(value, isTo, key))
                    return Bad(QStringLiteral("%1 takes a date and time such as "
                                              "\"2026-06-01 12:00\", not %2")
                                   .arg(arg, value));
                (isTo ? command.hasTo : command.hasFrom) = true;
            }
        } else {
            return Bad(QStringLiteral("unknown option %1").arg(arg));
        }
    }
    if (command.mode != Mode::Export && (sized || command.hasFrom || command.hasTo))
        return Bad(QStringLiteral("--size, --from and --to go with --export"));
    if (command.hasFrom && command.hasTo && command.to <= command.from)
        return Bad(QStringLiteral("--to must come after --from"));
    if ((command.mode == Mode::Summary || command.mode == Mode::Export) && command.files.isEmpty())
        return Bad(QStringLiteral("no file given"));
    return command;
}

namespace {

// Reads every file, or says why one could not be read.
bool ReadAll(const QStringList &paths, std::vector<PlotFile> &files, FILE *err)
{
    for (const QString &path : paths) {
        // Without a window nobody can be asked how ambiguous times read: the reader's
        // message then lists the readings.
        RefusingTimeFormatChooser refusing;
        PlotFile file = PlotFileReader::read(path, {}, &refusing);
        if (!file.ok()) {
            std::fprintf(err, "vantplot: %s: %s\n", qPrintable(QDir::toNativeSeparators(path)),
                         qPrintable(file.error));
            return false;
        }
        files.push_back(std::move(file));
    }
    return true;
}

} // namespace

int RunSummary(const VantplotCommand &command, FILE *out, FILE *err)
{
    std::vector<PlotFile> files;
    if (!ReadAll(command.files, files, err))
        return 1;
    QVector<SummaryTable::FileSummary> summaries;
    for (std::size_t i = 0; i < files.size(); ++i)
        summaries.append(
            {QFileInfo(command.files.at(int(i))).fileName(), DailySummary(files.at(i))});
    const QByteArray text = SummaryTable::TabSeparatedText(summaries).toUtf8();
    const bool written = std::fwrite(text.constData(), 1, std::size_t(text.size()), out) ==
                             std::size_t(text.size()) &&
                         std::fflush(out) == 0;
    if (!written) {
        std::fprintf(err, "vantplot: the summary could not be written\n");
        return 1;
    }
    return 0;
}

int RunExport(const VantplotCommand &command, FILE *err)
{
    std::vector<PlotFile> files;
    if (!ReadAll(command.files, files, err))
        return 1;
    PlotView plot;
    plot.resize(command.size);
    std::vector<std::unique_ptr<SeriesSet>> sets;
    for (std::size_t i = 0; i < files.size(); ++i)
        sets.push_back(std::make_unique<SeriesSet>(plot, command.files.at(int(i)),
                                                   std::move(files.at(i)), int(i)));
    int band = 0;
    for (const auto &set : sets)
        set->setSunStripe(band++, int(sets.size()));
    plot.updateKeyLimits();
    plot.fitAll();
    QCPRange range = plot.xAxis->range();
    if (command.hasFrom || command.hasTo) {
        range = QCPRange(command.hasFrom ? command.from : range.lower,
                         command.hasTo ? command.to : range.upper);
        if (range.upper <= range.lower) {
            std::fprintf(err, "vantplot: the files have no records in that range\n");
            return 1;
        }
        plot.xAxis->setRange(range);
    }
    QString error;
    const QString suffix = QFileInfo(command.output).suffix().toLower();
    bool saved = false;
    if (suffix == QLatin1String("csv")) {
        saved = PlotExport::SaveVisibleCsv(sets, range.lower, range.upper, command.output, error);
    } else {
        // The range shown: no wider than the data.
        plot.setTitle(PlotExport::PictureTitle(sets, plot.xAxis->range()));
        plot.replot();
        saved = suffix == QLatin1String("pdf")
                    ? PlotExport::SavePdf(plot, command.output, error, command.size.width(),
                                          command.size.height())
                    : PlotExport::SavePng(plot, command.output, error, command.size.width(),
                                          command.size.height());
    }
    if (!saved) {
        std::fprintf(err, "vantplot: %s\n", qPrintable(error));
        return 1;
    }
    return 0;
}
