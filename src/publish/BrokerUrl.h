// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

// Where readings are published: mqtt://host[:port]/prefix (plain TCP, port 1883 by default)
// or mqtts://host[:port]/prefix (TLS, port 8883). The host may be a name, an IPv4 address or
// an IPv6 address in brackets; the prefix is the topic every message starts with (empty
// without a path), and holds no MQTT wildcard.
struct BrokerUrl
{
    bool tls = false;
    QString host;
    int port = 1883;
    QString prefix;

    // "prefix/<serial>/<leaf>", or "<serial>/<leaf>" without a prefix.
    QString topic(const QString &serial, const QString &leaf) const;
};

struct BrokerUrlResult
{
    BrokerUrl url;
    // Why the text is no broker URL; empty when it is one.
    QString error;
};

BrokerUrlResult ParseBrokerUrl(const QString &text);

// A serial number as one topic level: the characters MQTT reserves ('/', '+', '#') and
// blanks become '_', and an empty serial number becomes "unknown".
QString TopicLevel(const QString &text);
