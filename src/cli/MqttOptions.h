// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QMap>
#include <QString>

// The command line's publishing options, for `log` and `logger download`:
//   --mqtt URL                   mqtt://host[:port]/prefix or mqtts://...
//   --mqtt-user NAME
//   --mqtt-password-file FILE    the password is the file's first line (never on the
//                                command line, where every user of the computer sees it)
//   --mqtt-ca FILE               mqtts: the CA that signed the broker's certificate
//   --mqtt-client-id ID
//   --mqtt-discovery[=PREFIX]    Home Assistant discovery (PREFIX "homeassistant")
struct MqttOptions
{
    QString url;
    QString user;
    QString passwordFile;
    QString caFile;
    QString clientId;
    QString discoveryPrefix; // empty: no discovery

    bool enabled() const { return !url.isEmpty(); }
};

// The options and whether each takes a value (--mqtt-discovery's is optional).
const QMap<QString, bool> &MqttOptionNames();

// Sets one option; the reason when its value is wrong, else empty.
QString SetMqttOption(MqttOptions &options, const QString &name, const QString &value);

// The options taken together, for `command` (and `subcommand`) with or without --output;
// the reason when they do not fit, else empty.
QString CheckMqttOptions(const MqttOptions &options, const QString &command,
                         const QString &subcommand, bool hasOutput);
