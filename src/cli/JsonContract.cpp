// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/JsonContract.h"

#include "common/DateTimeDays.h"
#include "common/NamedFormats.h"
#include "common/NumberFormat.h"
#include "link/SensorLink.h"
#include "logger/LoggerBlock.h"
#include "logger/LoggerDetailsReader.h"
#include "logger/LoggerState.h"
#include "logger/MemoryBar.h"
#include "logger/MemoryEstimate.h"
#include "platform/PortTable.h"

#include <QFileInfo>
#include <QJsonValue>
#include <QLocale>
#include <QRegularExpression>

#include <cmath>

namespace JsonContract {

namespace {

QJsonValue orNull(const std::optional<double> &value)
{
    return value ? QJsonValue(*value) : QJsonValue();
}

QJsonValue textOrNull(const QString &text)
{
    return text.isEmpty() ? QJsonValue() : QJsonValue(text);
}

// A count of days as an ISO time; null for none (0) or one out of range.
QJsonValue timeOrNull(double days, bool known)
{
    const QDateTime time = DaysToDateTime(days);
    return known && days != 0 && time.isValid() ? QJsonValue(IsoTime(time)) : QJsonValue();
}

double oneDecimal(double value)
{
    const double rounded = std::round(value * 10) / 10;
    // No "-0" in the output.
    return rounded == 0 ? 0 : rounded;
}

QJsonValue reading(const SensorLink &link, float value)
{
    if (!link.hasReadings())
        return QJsonValue();
    return ReadingText(value, UnitsOf(link)).toDouble();
}

QJsonObject memoryFull(const LoggerState &state, const std::optional<double> &clockOffset,
                       const QDateTime &now, bool known)
{
    QJsonObject full;
    const MemoryFullEstimate estimate =
        known ? CalculateMemoryFull(state, clockOffset, now) : MemoryFullEstimate();
    QString kind = QStringLiteral("none");
    if (!known)
        kind = QStringLiteral("unknown");
    else if (estimate.kind == MemoryFullEstimate::Kind::Unknown)
        kind = QStringLiteral("unknown");
    else if (estimate.kind == MemoryFullEstimate::Kind::NotLogging)
        kind = QStringLiteral("estimated");
    else if (estimate.kind == MemoryFullEstimate::Kind::Logging)
        kind = state.overwrite() ? QStringLiteral("overwrite") : QStringLiteral("full");
    full.insert(QLatin1String(Key::Kind), kind);
    full.insert(QLatin1String(Key::Time), timeOrNull(estimate.time, estimate.hasTime()));
    return full;
}

} // namespace

QString IsoTime(const QDateTime &time)
{
    return IsoLocalTimeText(time);
}

std::optional<int> BatteryMillivolts(const QString &power)
{
    static const QRegularExpression number(
        QStringLiteral("(\\d+(?:\\.\\d+)?)\\s*(mV|V)(?![A-Za-z])"));
    const QRegularExpressionMatch match = number.match(power);
    if (!match.hasMatch())
        return std::nullopt;
    const double value = match.captured(1).toDouble();
    const double millivolts = match.captured(2) == QLatin1String("V") ? value * 1000 : value;
    return static_cast<int>(std::lround(millivolts));
}

QString ReadingText(float value, const QString &units)
{
    const bool klux = units == QLatin1String("klux");
    QString text = FormatNumber(value, klux ? QStringLiteral("##0.00") : QStringLiteral("###0.0"));
    return text.replace(QLocale().decimalPoint(), QStringLiteral("."));
}

QString ModelOf(const QString &version)
{
    return version.section(QLatin1Char(' '), 0, 0);
}

QString UnitsOf(const SensorLink &link)
{
    QString units = link.units();
    if (units.startsWith(QLatin1String("Units:")))
        units = units.mid(6);
    return units.trimmed();
}

bool HasLogger(const SensorLink &link)
{
    return link.LogStatus().size() >= 2;
}

QJsonObject PortFacts(const PortTable &table, int number)
{
    const QString path = table.devicePath(number);
    const bool byId = path.startsWith(QLatin1String("/dev/serial/by-id/"));
    QJsonObject facts;
    facts.insert(QLatin1String(Key::SchemaVersion), SchemaVersion);
    facts.insert(QLatin1String(Key::Number), number);
    facts.insert(QLatin1String(Key::Device), byId ? QFileInfo(path).canonicalFilePath() : path);
    facts.insert(QLatin1String(Key::ById), byId ? QJsonValue(path) : QJsonValue());
    facts.insert(QLatin1String(Key::Description), textOrNull(table.description(number)));
    return facts;
}

QJsonObject StatusFacts(const SensorLink &link, const QDateTime &now)
{
    const QString version = link.Version();
    const QString logStatus = link.LogStatus().trimmed();
    QJsonValue logging;
    if (logStatus.startsWith(QLatin1String("Logging"), Qt::CaseInsensitive))
        logging = true;
    else if (logStatus.startsWith(QLatin1String("Stopped"), Qt::CaseInsensitive) ||
             logStatus.startsWith(QLatin1String("Not logging"), Qt::CaseInsensitive))
        logging = false;
    const auto battery = BatteryMillivolts(link.Power());
    QJsonObject facts;
    facts.insert(QLatin1String(Key::SchemaVersion), SchemaVersion);
    facts.insert(QLatin1String(Key::Time), IsoTime(now));
    facts.insert(QLatin1String(Key::Model), textOrNull(ModelOf(version)));
    facts.insert(QLatin1String(Key::Version), textOrNull(version));
    facts.insert(QLatin1String(Key::Serial), textOrNull(link.SerialNumber()));
    facts.insert(QLatin1String(Key::Units), textOrNull(UnitsOf(link)));
    facts.insert(QLatin1String(Key::PowerText), textOrNull(link.Power()));
    facts.insert(QLatin1String(Key::BatteryMv), battery ? QJsonValue(*battery) : QJsonValue());
    facts.insert(QLatin1String(Key::HasLogger), HasLogger(link));
    facts.insert(QLatin1String(Key::LogStatus), textOrNull(logStatus));
    facts.insert(QLatin1String(Key::Logging), logging);
    facts.insert(QLatin1String(Key::Total), reading(link, link.Total()));
    facts.insert(QLatin1String(Key::Diffuse), reading(link, link.Diffuse()));
    facts.insert(QLatin1String(Key::Sun),
                 link.hasReadings() ? QJsonValue(link.Sun()) : QJsonValue());
    return facts;
}

QJsonObject ReadingFacts(const SensorLink &link, const QDateTime &now)
{
    QJsonObject facts;
    facts.insert(QLatin1String(Key::SchemaVersion), SchemaVersion);
    facts.insert(QLatin1String(Key::Time), IsoTime(now));
    facts.insert(QLatin1String(Key::Total), reading(link, link.Total()));
    facts.insert(QLatin1String(Key::Diffuse), reading(link, link.Diffuse()));
    facts.insert(QLatin1String(Key::Sun),
                 link.hasReadings() ? QJsonValue(link.Sun()) : QJsonValue());
    facts.insert(QLatin1String(Key::Units), textOrNull(UnitsOf(link)));
    return facts;
}

double ClockOffsetSeconds(double offsetDays)
{
    // The offset is the logger's whole second minus the computer's time with its
    // fraction f: a whole number minus f. Up to the next whole number (a millisecond's
    // slack for the rounding of the day count) is the logger's second against the
    // computer's.
    return oneDecimal(std::ceil(DaysToSeconds(offsetDays) - 0.001));
}

QJsonObject LoggerFacts(const SensorLink &link, const LoggerDetails &details, const QDateTime &now)
{
    // The program, status and dataset are known together or not at all: a figure built on
    // a part that failed to read would be a guess.
    const bool program = details.known();
    const bool dataset = program;
    const LoggerState state = details.logger.value.value_or(LoggerState());
    const std::optional<double> &offset = details.clockOffset;
    const auto battery = BatteryMillivolts(link.Power());
    const auto known = [](bool isKnown, double value) {
        return isKnown ? std::optional<double>(value) : std::nullopt;
    };
    std::optional<double> used;
    if (dataset) {
        const MemoryBar::Layout bar = MemoryBar::compute(state.MemoryBlocks, state.RecordsRetrieved,
                                                         state.RecordsLogged, 100);
        used = oneDecimal(bar.bar1Width + bar.bar2Width);
    }

    QJsonObject facts;
    facts.insert(QLatin1String(Key::SchemaVersion), SchemaVersion);
    facts.insert(QLatin1String(Key::Time), IsoTime(now));
    facts.insert(QLatin1String(Key::Model), textOrNull(ModelOf(link.Version())));
    facts.insert(QLatin1String(Key::Version), textOrNull(link.Version()));
    facts.insert(QLatin1String(Key::Serial), textOrNull(link.SerialNumber()));
    facts.insert(QLatin1String(Key::Units), textOrNull(UnitsOf(link)));
    facts.insert(QLatin1String(Key::PowerText), textOrNull(link.Power()));
    facts.insert(QLatin1String(Key::BatteryMv), battery ? QJsonValue(*battery) : QJsonValue());
    facts.insert(QLatin1String(Key::MemoryBlocks),
                 orNull(known(state.MemoryBlocks > 0, state.MemoryBlocks)));
    facts.insert(QLatin1String(Key::MemoryBytes),
                 orNull(known(state.MemoryBlocks > 0,
                              static_cast<double>(state.MemoryBlocks) * LoggerBlock::Size)));
    facts.insert(QLatin1String(Key::LoggerTime),
                 offset ? QJsonValue(IsoTime(DaysToDateTime(DateTimeToDays(now) + *offset)))
                        : QJsonValue());
    facts.insert(QLatin1String(Key::ClockOffsetS),
                 orNull(known(offset.has_value(), ClockOffsetSeconds(offset.value_or(0)))));
    facts.insert(QLatin1String(Key::Logging), program ? QJsonValue(state.logging()) : QJsonValue());
    facts.insert(QLatin1String(Key::Overwrite),
                 program ? QJsonValue(state.overwrite()) : QJsonValue());
    facts.insert(QLatin1String(Key::ReadingPeriodS), orNull(known(program, state.LogPeriod)));
    facts.insert(QLatin1String(Key::AveragingPeriodS), orNull(known(program, state.AvgPeriod)));
    facts.insert(QLatin1String(Key::NextRecord),
                 timeOrNull(state.NextRecordTime, program && state.logging()));
    facts.insert(QLatin1String(Key::FirstRecord),
                 timeOrNull(state.FirstRecordTime, dataset && state.RecordsLogged > 0));
    facts.insert(QLatin1String(Key::LastRecord),
                 timeOrNull(state.LastRecordTime, dataset && state.RecordsLogged > 0));
    facts.insert(QLatin1String(Key::LastRetrieved),
                 timeOrNull(state.RetrievedTime, dataset && state.RecordsRetrieved > 0));
    facts.insert(QLatin1String(Key::RecordsLogged), orNull(known(dataset, state.RecordsLogged)));
    facts.insert(QLatin1String(Key::RecordsRetrieved),
                 orNull(known(dataset, state.RecordsRetrieved)));
    facts.insert(QLatin1String(Key::RecordsNotDownloaded),
                 orNull(known(dataset, std::max(0, state.RecordsLogged - state.RecordsRetrieved))));
    facts.insert(QLatin1String(Key::MemoryUsedPercent), orNull(used));
    facts.insert(QLatin1String(Key::MemoryFull), memoryFull(state, offset, now, dataset));
    return facts;
}

} // namespace JsonContract
