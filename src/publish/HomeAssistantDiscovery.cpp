// SPDX-License-Identifier: GPL-3.0-or-later
#include "publish/HomeAssistantDiscovery.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace {

struct Sensor
{
    QString key;  // the reading's JSON field
    QString name; // as Home Assistant shows it
    QString unit;
    QString deviceClass; // empty: none
    QString scale;       // multiplies the value in the template; empty: as it is
};

QList<Sensor> sensors(const StationFacts &station)
{
    Sensor total{QStringLiteral("total"), QStringLiteral("Total"), station.units, {}, {}};
    if (station.units == QLatin1String("W.m-2")) {
        total.unit = QStringLiteral("W/m²");
        total.deviceClass = QStringLiteral("irradiance");
    } else if (station.units == QLatin1String("klux")) {
        total.unit = QStringLiteral("lx");
        total.deviceClass = QStringLiteral("illuminance");
        total.scale = QStringLiteral("1000");
    } else if (station.units == QLatin1String("umol.m-2.s-1")) {
        total.unit = QStringLiteral("µmol/(m²·s)");
    }
    Sensor diffuse = total;
    diffuse.key = QStringLiteral("diffuse");
    diffuse.name = QStringLiteral("Diffuse");
    QList<Sensor> list{total,
                       diffuse,
                       {QStringLiteral("sun"),
                        QStringLiteral("Sunshine"),
                        QStringLiteral("%"),
                        {},
                        QStringLiteral("100")}};
    if (station.temperature)
        list << Sensor{QStringLiteral("temperature"),
                       QStringLiteral("Temperature"),
                       QStringLiteral("°C"),
                       QStringLiteral("temperature"),
                       {}};
    return list;
}

} // namespace

QList<DiscoveryMessage> HomeAssistantDiscovery(const QString &discoveryPrefix, const BrokerUrl &url,
                                               const StationFacts &station)
{
    const QString serial = TopicLevel(station.serial);
    const QString device = QStringLiteral("quorvel_") + serial;
    QJsonObject deviceInfo{{QStringLiteral("identifiers"), QJsonArray{device}},
                           {QStringLiteral("name"), station.model + QLatin1Char(' ') + serial},
                           {QStringLiteral("model"), station.model},
                           {QStringLiteral("serial_number"), station.serial}};
    QList<DiscoveryMessage> messages;
    for (const Sensor &sensor : sensors(station)) {
        const QString id = device + QLatin1Char('_') + sensor.key;
        const QString value = QStringLiteral("value_json.") + sensor.key;
        const QString scaled =
            sensor.scale.isEmpty() ? value : value + QStringLiteral(" * ") + sensor.scale;
        QJsonObject config{
            {QStringLiteral("name"), sensor.name},
            {QStringLiteral("unique_id"), id},
            {QStringLiteral("object_id"), id},
            {QStringLiteral("state_topic"), url.topic(station.serial, QStringLiteral("reading"))},
            // A missing value (null) leaves the sensor unknown rather than a made-up 0.
            {QStringLiteral("value_template"), QStringLiteral("{{ ") + scaled +
                                                   QStringLiteral(" if ") + value +
                                                   QStringLiteral(" is not none else none }}")},
            {QStringLiteral("unit_of_measurement"), sensor.unit},
            {QStringLiteral("state_class"), QStringLiteral("measurement")},
            {QStringLiteral("availability_topic"),
             url.topic(station.serial, QStringLiteral("status"))},
            {QStringLiteral("payload_available"), QStringLiteral("online")},
            {QStringLiteral("payload_not_available"), QStringLiteral("offline")},
            {QStringLiteral("device"), deviceInfo},
        };
        if (!sensor.deviceClass.isEmpty())
            config.insert(QStringLiteral("device_class"), sensor.deviceClass);
        messages.append(
            {discoveryPrefix + QStringLiteral("/sensor/") + id + QStringLiteral("/config"),
             QJsonDocument(config).toJson(QJsonDocument::Compact)});
    }
    return messages;
}
