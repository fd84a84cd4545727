// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "publish/BrokerUrl.h"

#include <QByteArray>
#include <QList>
#include <QString>

// Home Assistant's MQTT discovery: one retained config message per sensor (Total, Diffuse,
// sunshine and temperature) under <discovery prefix>/sensor/<id>/config, each reading its
// value from the station's reading topic and its availability from the status topic, so
// that a station appears in Home Assistant by itself. W.m-2 is an irradiance, klux an
// illuminance (shown in lx); the sunshine share of a period is a percentage.
struct DiscoveryMessage
{
    QString topic;
    QByteArray payload;
};

struct StationFacts
{
    QString serial;
    QString model;
    QString units;
    bool temperature = false; // the instrument measures its temperature
};

QList<DiscoveryMessage> HomeAssistantDiscovery(const QString &discoveryPrefix, const BrokerUrl &url,
                                               const StationFacts &station);
