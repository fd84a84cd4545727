// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/CliOptions.h"

#include "logger/PeriodLists.h"
#include "pclog/LogPeriods.h"
#include "platform/ProgramArguments.h"

#include "SimModel.h"

#include <QMap>

namespace {

const QStringList Commands = {QStringLiteral("ports"), QStringLiteral("status"),
                              QStringLiteral("read"),  QStringLiteral("units"),
                              QStringLiteral("log"),   QStringLiteral("logger")};
const QStringList LoggerCommands = {QStringLiteral("info"), QStringLiteral("set-clock"),
                                    QStringLiteral("start"), QStringLiteral("stop"),
                                    QStringLiteral("download")};

// The options of one command beyond the common ones, and whether each takes a value.
const QMap<QString, QMap<QString, bool>> &CommandOptions()
{
    static QMap<QString, QMap<QString, bool>> options = {
        {QStringLiteral("ports"), {{QStringLiteral("--probe"), false}}},
        {QStringLiteral("status"),
         {{QStringLiteral("--check"), false},
          {QStringLiteral("--battery-min"), true},
          {QStringLiteral("--max-drift"), true},
          {QStringLiteral("--max-memory"), true},
          {QStringLiteral("--expect-logging"), false}}},
        {QStringLiteral("read"), {{QStringLiteral("--watch"), false}}},
        {QStringLiteral("units"), {}},
        {QStringLiteral("log"),
         {{QStringLiteral("--log-period"), true},
          {QStringLiteral("--avg-period"), true},
          {QStringLiteral("--individual"), false},
          {QStringLiteral("--output"), true},
          {QStringLiteral("--duration"), true},
          {QStringLiteral("--append"), false},
          {QStringLiteral("--iso-times"), false}}},
        {QStringLiteral("logger"),
         {{QStringLiteral("--time"), true},
          {QStringLiteral("--reading-period"), true},
          {QStringLiteral("--avg-period"), true},
          {QStringLiteral("--overwrite"), false},
          {QStringLiteral("--at"), true},
          {QStringLiteral("--from"), true},
          {QStringLiteral("--retry"), true},
          {QStringLiteral("--retry-wait"), true},
          {QStringLiteral("--output"), true},
          {QStringLiteral("--force"), false},
          {QStringLiteral("--if-drift"), true},
          {QStringLiteral("--iso-times"), false}}},
    };
    static const bool publishing = [] {
        options[QStringLiteral("log")].insert(MqttOptionNames());
        options[QStringLiteral("logger")].insert(MqttOptionNames());
        return true;
    }();
    Q_UNUSED(publishing);
    return options;
}

// The options each logger command uses (beyond the common ones).
const QMap<QString, QStringList> &LoggerCommandOptions()
{
    static const QMap<QString, QStringList> options = {
        {QStringLiteral("info"), {QStringLiteral("--json")}},
        {QStringLiteral("set-clock"),
         {QStringLiteral("--time"), QStringLiteral("--force"), QStringLiteral("--if-drift")}},
        {QStringLiteral("start"),
         {QStringLiteral("--reading-period"), QStringLiteral("--avg-period"),
          QStringLiteral("--overwrite"), QStringLiteral("--at"), QStringLiteral("--force")}},
        {QStringLiteral("stop"), {}},
        {QStringLiteral("download"),
         {QStringLiteral("--from"), QStringLiteral("--output"), QStringLiteral("--retry"),
          QStringLiteral("--retry-wait"), QStringLiteral("--iso-times")}},
    };
    return options;
}

// Options that only make sense with another one.
const QMap<QString, QString> NeededOptions = {
    {QStringLiteral("--battery-min"), QStringLiteral("--check")},
    {QStringLiteral("--max-drift"), QStringLiteral("--check")},
    {QStringLiteral("--max-memory"), QStringLiteral("--check")},
    {QStringLiteral("--expect-logging"), QStringLiteral("--check")},
    {QStringLiteral("--retry-wait"), QStringLiteral("--retry")},
};

// Options that take a value only when one follows ("--watch 5", "--wait-for-device").
const QStringList OptionalValues = {QStringLiteral("--watch"), QStringLiteral("--wait-for-device"),
                                    QStringLiteral("--mqtt-discovery")};

const QMap<QString, bool> CommonOptions = {
    {QStringLiteral("--device"), true},
    {QStringLiteral("--port"), true},
    {QStringLiteral("--trace"), true},
    {QStringLiteral("--json"), false},
    {QStringLiteral("--quiet"), false},
    {QStringLiteral("--verbose"), false},
    {QStringLiteral("--help"), false},
    {QStringLiteral("--version"), false},
    {QStringLiteral("--wait-for-device"), false},
    {QStringLiteral("--wait-busy"), true},
};

const QMap<QString, int> UnitsNames = {{QStringLiteral("molar"), 0},
                                       {QStringLiteral("energy"), 1},
                                       {QStringLiteral("illuminance"), 2}};

QString quoted(const QString &text)
{
    return QLatin1Char('"') + ArgumentForMessage(text) + QLatin1Char('"');
}

class Parser
{
public:
    explicit Parser(const QStringList &args) : m_args(args) {}

    CliParseResult run()
    {
        for (m_next = 0; m_next < m_args.size() && m_error.isEmpty();) {
            const QString arg = m_args.at(m_next++);
            if (arg.startsWith(QLatin1String("-")) && arg.size() > 1)
                option(arg);
            else
                word(arg);
        }
        if (m_error.isEmpty())
            finish();
        return {m_options, m_error};
    }

private:
    void fail(const QString &text)
    {
        if (m_error.isEmpty())
            m_error = text;
    }

    void word(const QString &arg)
    {
        if (m_options.command.isEmpty()) {
            if (!Commands.contains(arg))
                return fail(QStringLiteral("unknown command ") + quoted(arg) +
                            QStringLiteral(" (ports, status, read, units, log or logger)"));
            m_options.command = arg;
        } else if (m_options.command == QLatin1String("logger") && m_options.subcommand.isEmpty()) {
            if (!LoggerCommands.contains(arg))
                return fail(QStringLiteral("unknown logger command ") + quoted(arg) +
                            QStringLiteral(" (info, set-clock, start, stop or download)"));
            m_options.subcommand = arg;
        } else if (m_options.command == QLatin1String("units") && m_options.unitsIndex < 0) {
            if (!UnitsNames.contains(arg))
                return fail(QStringLiteral("bad units ") + quoted(arg) +
                            QStringLiteral(" (energy, molar or illuminance)"));
            m_options.unitsIndex = UnitsNames.value(arg);
        } else {
            fail(QStringLiteral("unexpected argument ") + quoted(arg));
        }
    }

    void option(const QString &arg)
    {
        const auto equals = arg.indexOf(QLatin1Char('='));
        QString name = equals < 0 ? arg : arg.left(equals);
        std::optional<QString> value;
        if (equals >= 0)
            value = arg.mid(equals + 1);
        if (name == QLatin1String("-q"))
            name = QStringLiteral("--quiet");
        else if (name == QLatin1String("-v"))
            name = QStringLiteral("--verbose");
        else if (name == QLatin1String("-h"))
            name = QStringLiteral("--help");

        if (name == QLatin1String("--demo")) {
            m_options.demo = true;
            m_options.demoModel = value.value_or(QString());
            return;
        }
        const auto own = CommandOptions().value(m_options.command);
        const bool known = CommonOptions.contains(name) || own.contains(name);
        if (!known) {
            for (const auto &options : CommandOptions()) {
                if (options.contains(name))
                    return fail(QStringLiteral("option ") + name +
                                QStringLiteral(" does not belong to ") +
                                (m_options.command.isEmpty()
                                     ? QStringLiteral("this command line")
                                     : QStringLiteral("the command ") + m_options.command));
            }
            return fail(QStringLiteral("unknown option ") + quoted(name));
        }
        const bool takesValue = CommonOptions.value(name, own.value(name));
        if (takesValue && !value) {
            if (m_next >= m_args.size())
                return fail(QStringLiteral("option ") + name + QStringLiteral(" needs a value"));
            value = m_args.at(m_next++);
        }
        const bool optional = OptionalValues.contains(name);
        if (!takesValue && value && !optional)
            return fail(QStringLiteral("option ") + name + QStringLiteral(" takes no value"));
        // "--watch 5": the next argument is the value when it is a duration.
        // "--mqtt-discovery ha": the next argument is the prefix when it is no option or command.
        if (optional && !value && m_next < m_args.size()) {
            const QString &next = m_args.at(m_next);
            const bool taken =
                name == QLatin1String("--mqtt-discovery")
                    ? !next.startsWith(QLatin1Char('-')) && !LoggerCommands.contains(next)
                    : DurationSeconds(next) >= 0;
            if (taken)
                value = m_args.at(m_next++);
        }
        m_given.append(name);
        set(name, value.value_or(QString()));
    }

    void set(const QString &name, const QString &value)
    {
        if (name == QLatin1String("--device")) {
            m_options.device = value;
        } else if (name == QLatin1String("--port")) {
            bool ok = false;
            m_options.port = value.toInt(&ok);
            if (!ok || m_options.port < 1)
                fail(QStringLiteral("bad port number ") + quoted(value) +
                     QStringLiteral(" (1, 2, ...: see the ports command)"));
        } else if (name == QLatin1String("--trace")) {
            m_options.traceFile = value;
        } else if (name == QLatin1String("--json")) {
            m_options.json = true;
        } else if (name == QLatin1String("--quiet")) {
            m_options.verbosity = 0;
        } else if (name == QLatin1String("--verbose")) {
            m_options.verbosity = 2;
        } else if (name == QLatin1String("--help")) {
            m_options.help = true;
        } else if (name == QLatin1String("--version")) {
            m_options.version = true;
        } else if (name == QLatin1String("--probe")) {
            m_options.probe = true;
        } else if (name == QLatin1String("--watch")) {
            watch(value);
        } else if (name == QLatin1String("--log-period")) {
            m_options.logPeriod = value;
        } else if (name == QLatin1String("--avg-period")) {
            m_options.avgPeriod = value;
        } else if (name == QLatin1String("--individual")) {
            m_options.individual = true;
        } else if (name == QLatin1String("--output")) {
            m_options.output = value;
        } else if (name == QLatin1String("--append")) {
            m_options.append = true;
        } else if (name == QLatin1String("--wait-for-device")) {
            m_options.waitForDevice = true;
            seconds(name, value, m_options.waitForDeviceSeconds, value.isEmpty() ? 0 : 1);
        } else if (name == QLatin1String("--wait-busy")) {
            seconds(name, value, m_options.waitBusySeconds, 1);
        } else if (name == QLatin1String("--iso-times")) {
            m_options.isoTimes = true;
        } else if (name == QLatin1String("--check")) {
            m_options.check = true;
        } else if (name == QLatin1String("--expect-logging")) {
            m_options.expectLogging = true;
        } else if (name == QLatin1String("--force")) {
            m_options.force = true;
        } else if (name == QLatin1String("--max-drift")) {
            seconds(name, value, m_options.maxDriftSeconds, 0);
        } else if (name == QLatin1String("--if-drift")) {
            seconds(name, value, m_options.ifDriftSeconds, 0);
        } else if (name == QLatin1String("--battery-min")) {
            bool ok = false;
            m_options.batteryMinMv = value.toInt(&ok);
            if (!ok || m_options.batteryMinMv < 0 || m_options.batteryMinMv > 100000)
                fail(QStringLiteral("bad --battery-min ") + quoted(value) +
                     QStringLiteral(" (millivolts, e.g. 1600)"));
        } else if (name == QLatin1String("--max-memory")) {
            bool ok = false;
            m_options.maxMemoryPercent = value.toDouble(&ok);
            if (!ok || !(m_options.maxMemoryPercent >= 0 && m_options.maxMemoryPercent <= 100))
                fail(QStringLiteral("bad --max-memory ") + quoted(value) +
                     QStringLiteral(" (a percentage, 0 to 100)"));
        } else if (name == QLatin1String("--time") || name == QLatin1String("--at")) {
            const QDateTime time = QDateTime::fromString(value, Qt::ISODate);
            if (!time.isValid())
                return fail(QStringLiteral("bad time ") + quoted(value) +
                            QStringLiteral(" (ISO 8601, e.g. 2026-12-07T08:00:00)"));
            (name == QLatin1String("--at") ? m_options.at : m_options.time) = time;
        } else if (name == QLatin1String("--reading-period")) {
            m_options.readingPeriod = value;
        } else if (name == QLatin1String("--overwrite")) {
            m_options.overwrite = true;
        } else if (name == QLatin1String("--from")) {
            m_options.from = value;
            if (!QStringList{"new", "start", "all"}.contains(value))
                fail(QStringLiteral("bad --from ") + quoted(value) +
                     QStringLiteral(" (new, start or all)"));
        } else if (name == QLatin1String("--retry")) {
            bool ok = false;
            m_options.retries = value.toInt(&ok);
            if (!ok || m_options.retries < 0 || m_options.retries > 1000)
                fail(QStringLiteral("bad --retry ") + quoted(value) +
                     QStringLiteral(" (0 to 1000)"));
        } else if (name == QLatin1String("--retry-wait")) {
            m_options.retryWaitSeconds = DurationSeconds(value);
            if (m_options.retryWaitSeconds < 0)
                fail(QStringLiteral("bad --retry-wait ") + quoted(value) +
                     QStringLiteral(" (e.g. 0s, 10s, 5m)"));
        } else if (MqttOptionNames().contains(name)) {
            const QString error = SetMqttOption(m_options.mqtt, name, value);
            if (!error.isEmpty())
                fail(error);
        } else if (name == QLatin1String("--duration")) {
            m_options.durationSeconds = DurationSeconds(value);
            if (m_options.durationSeconds <= 0)
                fail(QStringLiteral("bad duration ") + quoted(value) +
                     QStringLiteral(" (e.g. 90s, 10m, 2h, 1d)"));
        }
    }

    // A duration option: `value` in seconds, no less than `least`, into `target`.
    void seconds(const QString &name, const QString &value, qint64 &target, qint64 least)
    {
        if (value.isEmpty() && least == 0)
            return;
        target = DurationSeconds(value);
        if (target < least)
            fail(QStringLiteral("bad ") + name + QLatin1Char(' ') + quoted(value) +
                 QStringLiteral(" (e.g. 30, 30s, 10m, 2h)"));
    }

    // --watch takes an optional number of seconds: "--watch=5", or "--watch 5" when the
    // next argument is a number.
    void watch(const QString &value)
    {
        m_options.watch = true;
        if (value.isEmpty())
            return;
        const qint64 seconds = DurationSeconds(value);
        if (seconds < 1 || seconds > 86400)
            return fail(QStringLiteral("bad watch period ") + quoted(value) +
                        QStringLiteral(" (1 to 86400 seconds)"));
        m_options.watchSeconds = static_cast<int>(seconds);
    }

    void finish()
    {
        if (m_options.help || m_options.version)
            return;
        if (m_options.command.isEmpty())
            return fail(QStringLiteral("no command given (see --help)"));
        const int places = (m_options.demo ? 1 : 0) + (m_options.device.isEmpty() ? 0 : 1) +
                           (m_options.port > 0 ? 1 : 0);
        if (places > 1)
            return fail(QStringLiteral("give only one of --device, --port and --demo"));
        if (m_options.demo && !m_options.demoModel.isEmpty() && !modelFromName(m_options.demoModel))
            return fail(QStringLiteral("unknown model ") + quoted(m_options.demoModel) +
                        QStringLiteral(" (") + QLatin1String(KnownModelNames) + QLatin1Char(')'));
        if (m_options.command == QLatin1String("units") && m_options.unitsIndex < 0)
            return fail(QStringLiteral("units needs energy, molar or illuminance"));
        const QString whole =
            (m_options.command + QLatin1Char(' ') + m_options.subcommand).trimmed();
        // Only commands that print facts print them as JSON.
        const bool facts = m_options.command == QLatin1String("ports") ||
                           m_options.command == QLatin1String("status") ||
                           m_options.command == QLatin1String("read");
        if (m_options.json && !facts && m_options.command != QLatin1String("logger"))
            return fail(QStringLiteral("option --json does not belong to the command ") + whole);
        if (!checkUnusedOptions(whole))
            return;
        if (m_options.command == QLatin1String("log"))
            checkLogPeriods();
        if (m_options.command == QLatin1String("logger"))
            checkLogger();
        if (m_options.append && m_options.output.isEmpty())
            fail(QStringLiteral("--append needs --output FILE"));
        const QString mqtt = CheckMqttOptions(m_options.mqtt, m_options.command,
                                              m_options.subcommand, !m_options.output.isEmpty());
        if (!mqtt.isEmpty())
            fail(mqtt);
    }

    // Options the command names but does not use are refused rather than ignored.
    bool checkUnusedOptions(const QString &whole)
    {
        for (const QString &name : std::as_const(m_given)) {
            const bool waits =
                name == QLatin1String("--wait-for-device") || name == QLatin1String("--wait-busy");
            // The publishing options have their own check, with its own message.
            const bool own = m_options.command == QLatin1String("logger") &&
                             CommandOptions().value(m_options.command).contains(name) &&
                             !MqttOptionNames().contains(name);
            const bool unused =
                (waits && m_options.command == QLatin1String("ports")) ||
                ((own || name == QLatin1String("--json")) &&
                 m_options.command == QLatin1String("logger") &&
                 !LoggerCommandOptions().value(m_options.subcommand).contains(name));
            if (unused) {
                fail(QStringLiteral("option ") + name +
                     QStringLiteral(" does not belong to the command ") + whole);
                return false;
            }
            const QString needed = NeededOptions.value(name);
            if (!needed.isEmpty() && !m_given.contains(needed)) {
                fail(QStringLiteral("option ") + name + QStringLiteral(" needs ") + needed);
                return false;
            }
        }
        return true;
    }

    void checkLogPeriods()
    {
        const QStringList &periods = LogPeriodEntries();
        m_options.logPeriod = canonical(m_options.logPeriod, periods, m_options.logPeriod);
        if (!m_options.avgPeriod.isEmpty())
            m_options.avgPeriod = canonical(m_options.avgPeriod, periods, m_options.avgPeriod);
        const auto logIndex = periods.indexOf(m_options.logPeriod);
        if (logIndex < 0)
            return fail(QStringLiteral("bad log period ") + quoted(m_options.logPeriod) +
                        QStringLiteral(" (") + periods.join(QStringLiteral(", ")) +
                        QStringLiteral(")"));
        if (m_options.avgPeriod.isEmpty())
            m_options.avgPeriod = m_options.logPeriod;
        const QStringList averages = LogPeriodEntriesFrom(static_cast<int>(logIndex));
        if (!averages.contains(m_options.avgPeriod))
            fail(QStringLiteral("bad averaging period ") + quoted(m_options.avgPeriod) +
                 QStringLiteral(" for a log period of ") + m_options.logPeriod +
                 QStringLiteral(" (") + averages.join(QStringLiteral(", ")) + QStringLiteral(")"));
    }

    void checkLogger()
    {
        if (m_options.subcommand.isEmpty())
            return fail(QStringLiteral("logger needs info, set-clock, start, stop or download"));
        if (m_options.subcommand == QLatin1String("download") && m_options.output.isEmpty())
            return fail(QStringLiteral("logger download needs --output FILE"));
        const QList<PeriodEntry> &readings = PeriodLists::readingPeriods();
        m_options.readingPeriod =
            canonical(m_options.readingPeriod, periodTexts(readings), m_options.readingPeriod);
        m_options.avgPeriod =
            canonical(m_options.avgPeriod, periodTexts(PeriodLists::averagePeriodsFrom(0)),
                      m_options.avgPeriod);
        int index = -1;
        for (int i = 0; i < readings.size(); ++i) {
            if (readings.at(i).text == m_options.readingPeriod)
                index = i;
        }
        QStringList texts;
        for (const PeriodEntry &entry : readings)
            texts.append(entry.text);
        if (!m_options.readingPeriod.isEmpty() && index < 0)
            return fail(QStringLiteral("bad reading period ") + quoted(m_options.readingPeriod) +
                        QStringLiteral(" (") + texts.join(QStringLiteral(", ")) +
                        QStringLiteral(")"));
        if (m_options.avgPeriod.isEmpty())
            return;
        if (index < 0)
            return fail(QStringLiteral("--avg-period needs --reading-period"));
        texts.clear();
        for (const PeriodEntry &entry : PeriodLists::averagePeriodsFrom(index))
            texts.append(entry.text);
        if (!texts.contains(m_options.avgPeriod))
            fail(QStringLiteral("bad averaging period ") + quoted(m_options.avgPeriod) +
                 QStringLiteral(" for a reading period of ") + m_options.readingPeriod +
                 QStringLiteral(" (") + texts.join(QStringLiteral(", ")) + QStringLiteral(")"));
    }

    static QStringList periodTexts(const QList<PeriodEntry> &entries)
    {
        QStringList list;
        for (const PeriodEntry &entry : entries)
            list.append(entry.text);
        return list;
    }

    // `text` in the spelling of `entries`; `otherwise` when it names none of them.
    static QString canonical(const QString &text, const QStringList &entries,
                             const QString &otherwise)
    {
        const QString found = ::CanonicalPeriod(text, entries);
        return found.isEmpty() ? otherwise : found;
    }

    const QStringList &m_args;
    // The option names given, in their long form.
    QStringList m_given;
    qsizetype m_next = 0;
    CliOptions m_options;
    QString m_error;
};

} // namespace

CliParseResult ParseCliArguments(const QStringList &args)
{
    return Parser(args).run();
}

qint64 DurationSeconds(const QString &text)
{
    static const QMap<QChar, qint64> Units = {{QLatin1Char('s'), 1},
                                              {QLatin1Char('m'), 60},
                                              {QLatin1Char('h'), 3600},
                                              {QLatin1Char('d'), 86400}};
    QString digits = text;
    qint64 unit = 1;
    if (!text.isEmpty() && Units.contains(text.back())) {
        unit = Units.value(text.back());
        digits.chop(1);
    }
    bool ok = false;
    const qint64 count = digits.toLongLong(&ok);
    if (!ok || count < 0 || digits.startsWith(QLatin1Char('+')) || count > 3650 * 86400 / unit)
        return -1;
    return count * unit;
}

QString CanonicalPeriod(const QString &text, const QStringList &entries)
{
    if (entries.contains(text))
        return text;
    const qint64 seconds = DurationSeconds(text);
    for (const QString &entry : entries) {
        if (seconds > 0 && DurationSeconds(entry) == seconds)
            return entry;
    }
    return QString();
}

QString DatedPath(const QString &pattern, const QDate &date)
{
    QString path;
    for (qsizetype i = 0; i < pattern.size(); ++i) {
        const QChar next = i + 1 < pattern.size() ? pattern.at(i + 1) : QChar();
        if (pattern.at(i) != QLatin1Char('%') || !QStringLiteral("Ymd%").contains(next)) {
            path += pattern.at(i);
            continue;
        }
        ++i;
        if (next == QLatin1Char('Y'))
            path += date.toString(QStringLiteral("yyyy"));
        else if (next == QLatin1Char('m'))
            path += date.toString(QStringLiteral("MM"));
        else if (next == QLatin1Char('d'))
            path += date.toString(QStringLiteral("dd"));
        else
            path += QLatin1Char('%');
    }
    return path;
}
