// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/MqttOptions.h"

#include "publish/BrokerUrl.h"

const QMap<QString, bool> &MqttOptionNames()
{
    static const QMap<QString, bool> names = {
        {QStringLiteral("--mqtt"), true},
        {QStringLiteral("--mqtt-user"), true},
        {QStringLiteral("--mqtt-password-file"), true},
        {QStringLiteral("--mqtt-ca"), true},
        {QStringLiteral("--mqtt-client-id"), true},
        {QStringLiteral("--mqtt-discovery"), false},
    };
    return names;
}

QString SetMqttOption(MqttOptions &options, const QString &name, const QString &value)
{
    if (name == QLatin1String("--mqtt")) {
        options.url = value;
        return ParseBrokerUrl(value).error;
    }
    if (name == QLatin1String("--mqtt-discovery")) {
        options.discoveryPrefix = value.isEmpty() ? QStringLiteral("homeassistant") : value;
        return QString();
    }
    if (value.isEmpty())
        return QStringLiteral("option ") + name + QStringLiteral(" needs a value");
    if (name == QLatin1String("--mqtt-user"))
        options.user = value;
    else if (name == QLatin1String("--mqtt-password-file"))
        options.passwordFile = value;
    else if (name == QLatin1String("--mqtt-ca"))
        options.caFile = value;
    else if (name == QLatin1String("--mqtt-client-id"))
        options.clientId = value;
    return QString();
}

QString CheckMqttOptions(const MqttOptions &options, const QString &command,
                         const QString &subcommand, bool hasOutput)
{
    const bool any = !options.user.isEmpty() || !options.passwordFile.isEmpty() ||
                     !options.caFile.isEmpty() || !options.clientId.isEmpty() ||
                     !options.discoveryPrefix.isEmpty();
    if (!options.enabled())
        return any ? QStringLiteral("the --mqtt-... options need --mqtt URL") : QString();
    if (command == QLatin1String("logger") && subcommand != QLatin1String("download"))
        return QStringLiteral("--mqtt belongs to log and logger download");
    if (!hasOutput)
        return QStringLiteral("--mqtt needs --output FILE: the file is the journal that "
                              "publishing follows, so that an outage loses nothing");
    if (!options.caFile.isEmpty() && !ParseBrokerUrl(options.url).url.tls)
        return QStringLiteral("--mqtt-ca needs an mqtts:// URL");
    if (!options.passwordFile.isEmpty() && options.user.isEmpty())
        return QStringLiteral("--mqtt-password-file needs --mqtt-user");
    return QString();
}
