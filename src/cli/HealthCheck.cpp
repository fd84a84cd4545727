// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/HealthCheck.h"

#include "cli/CliOptions.h"
#include "cli/JsonContract.h"

#include <QJsonValue>

#include <cmath>

namespace {

using namespace JsonContract;

QJsonObject problem(const char *name, const QJsonValue &value, const QJsonValue &limit,
                    const QString &message)
{
    QJsonObject object;
    object.insert(QLatin1String(Key::SchemaVersion), SchemaVersion);
    object.insert(QLatin1String(Key::Problem), QLatin1String(name));
    object.insert(QLatin1String(Key::Value), value);
    object.insert(QLatin1String(Key::Limit), limit);
    object.insert(QLatin1String(Key::Message), message);
    return object;
}

QString number(double value)
{
    return QString::number(value, 'f', 1);
}

} // namespace

HealthCheck::HealthCheck(const CliOptions &options)
    : m_batteryMinMv(options.batteryMinMv),
      m_maxDriftSeconds(static_cast<double>(options.maxDriftSeconds)),
      m_maxMemoryPercent(options.maxMemoryPercent), m_expectLogging(options.expectLogging)
{}

QJsonArray HealthCheck::problems(const QJsonObject &facts) const
{
    QJsonArray found;
    const QJsonValue battery = facts.value(QLatin1String(Key::BatteryMv));
    if (battery.isNull())
        found.append(problem("battery_unknown", battery, m_batteryMinMv,
                             QStringLiteral("the battery could not be read")));
    // As in the logger window, a supply that is not above the limit is low.
    else if (battery.toDouble() <= m_batteryMinMv)
        found.append(problem("battery_low", battery, m_batteryMinMv,
                             QStringLiteral("battery at %1 mV, not above %2 mV")
                                 .arg(battery.toInt())
                                 .arg(m_batteryMinMv)));
    if (facts.value(QLatin1String(Key::Total)).isNull())
        found.append(problem("no_readings", QJsonValue(), QJsonValue(),
                             QStringLiteral("the instrument gave no readings")));
    if (!facts.value(QLatin1String(Key::HasLogger)).toBool()) {
        if (m_expectLogging)
            found.append(problem("not_logging", QJsonValue(), true,
                                 QStringLiteral("this instrument has no data logger")));
        return found;
    }
    const QJsonValue offset = facts.value(QLatin1String(Key::ClockOffsetS));
    if (offset.isNull())
        found.append(problem("clock_unknown", offset, m_maxDriftSeconds,
                             QStringLiteral("the logger's clock could not be read")));
    else if (std::fabs(offset.toDouble()) > m_maxDriftSeconds)
        found.append(problem("clock_drift", offset, m_maxDriftSeconds,
                             QStringLiteral("the logger's clock is off by %1 s, more than %2 s")
                                 .arg(number(offset.toDouble()), number(m_maxDriftSeconds))));
    const QJsonValue used = facts.value(QLatin1String(Key::MemoryUsedPercent));
    if (used.isNull())
        found.append(problem("memory_unknown", used, m_maxMemoryPercent,
                             QStringLiteral("the logger's memory use could not be read")));
    else if (used.toDouble() > m_maxMemoryPercent)
        found.append(problem("memory_full", used, m_maxMemoryPercent,
                             QStringLiteral("the logger's memory is %1 % used, more than %2 %")
                                 .arg(number(used.toDouble()), number(m_maxMemoryPercent))));
    const QJsonValue logging = facts.value(QLatin1String(Key::Logging));
    if (m_expectLogging && !logging.toBool())
        found.append(problem("not_logging", logging, true,
                             logging.isNull()
                                 ? QStringLiteral("the logging state could not be read")
                                 : QStringLiteral("the logger is not logging")));
    return found;
}

QStringList HealthCheck::lines(const QJsonArray &problems)
{
    QStringList texts;
    for (const QJsonValue &problem : problems)
        texts.append(problem.toObject().value(QLatin1String(Key::Message)).toString());
    return texts;
}
