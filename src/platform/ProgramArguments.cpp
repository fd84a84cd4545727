// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/ProgramArguments.h"

namespace {

const QString DeviceOption = QStringLiteral("--device");
const QString DemoOption = QStringLiteral("--demo");
const QString TraceOption = QStringLiteral("--trace");

// The text after "name=" when arg has that form.
bool valueAfterEquals(const QString &arg, const QString &name, QString &value)
{
    if (!arg.startsWith(name + QLatin1Char('=')))
        return false;
    value = arg.mid(name.size() + 1);
    return true;
}

// The toolkit's own options, which the window system reads from the same command line:
// those followed by a value, then those that stand alone.
const QStringList ToolkitOptionsWithValue = {
    QStringLiteral("-platform"),        QStringLiteral("-platformpluginpath"),
    QStringLiteral("-platformtheme"),   QStringLiteral("-plugin"),
    QStringLiteral("-qwindowgeometry"), QStringLiteral("-qwindowicon"),
    QStringLiteral("-qwindowtitle"),    QStringLiteral("-style"),
    QStringLiteral("-stylesheet"),      QStringLiteral("-session"),
    QStringLiteral("-display"),         QStringLiteral("-geometry"),
};
const QStringList ToolkitFlags = {QStringLiteral("-reverse"), QStringLiteral("-widgetcount"),
                                  QStringLiteral("-nograb"), QStringLiteral("-dograb"),
                                  QStringLiteral("-sync")};

// "-x" is an option word; "-3" and "-.5" are numbers (the value after "/P"), and "-"
// alone is nothing.
bool isDashOption(const QString &arg)
{
    return arg.size() > 1 && arg.at(0) == QLatin1Char('-') && !arg.at(1).isDigit() &&
           arg.at(1) != QLatin1Char('.');
}

void addDevice(ProgramOptions &options, const QString &path)
{
    if (path.isEmpty())
        options.errors.append(QStringLiteral("--device needs a device path"));
    else
        options.devices.append(path);
}

} // namespace

QString ArgumentForMessage(const QString &arg)
{
    constexpr int Longest = 40;
    return arg.size() <= Longest ? arg : arg.left(Longest) + QStringLiteral("...");
}

ProgramOptions ParseProgramArguments(const QStringList &args)
{
    ProgramOptions options;
    for (int i = 0; i < args.size(); ++i) {
        const QString &arg = args.at(i);
        QString value;
        if (arg == DeviceOption) {
            // The path is the next argument, unless that is another long option.
            const bool hasPath =
                i + 1 < args.size() && !args.at(i + 1).startsWith(QLatin1String("--"));
            addDevice(options, hasPath ? args.at(++i) : QString());
        } else if (valueAfterEquals(arg, DeviceOption, value)) {
            addDevice(options, value);
        } else if (arg == TraceOption || valueAfterEquals(arg, TraceOption, value)) {
            const bool hasFile =
                arg != TraceOption ||
                (i + 1 < args.size() && !args.at(i + 1).startsWith(QLatin1String("--")));
            if (arg == TraceOption && hasFile)
                value = args.at(++i);
            if (!hasFile || value.isEmpty())
                options.errors.append(QStringLiteral("--trace needs a file name"));
            else
                options.traceFile = value;
        } else if (arg == DemoOption || valueAfterEquals(arg, DemoOption, value)) {
            if (!options.demo)
                options.demoPosition = static_cast<int>(options.devices.size());
            options.demo = true;
            options.demoModel = value;
        } else if (arg == QLatin1String("--help") || arg == QLatin1String("-h")) {
            options.help = true;
        } else if (arg == QLatin1String("--version")) {
            options.version = true;
        } else if (ToolkitOptionsWithValue.contains(arg)) {
            ++i; // the window system's, with its value
        } else if (ToolkitFlags.contains(arg)) {
            continue;
        } else if (isDashOption(arg)) {
            options.errors.append(QStringLiteral("unknown option ") + ArgumentForMessage(arg));
        } else {
            options.rest.append(arg);
        }
    }
    return options;
}
