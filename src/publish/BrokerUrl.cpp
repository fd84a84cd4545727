// SPDX-License-Identifier: GPL-3.0-or-later
#include "publish/BrokerUrl.h"

namespace {

BrokerUrlResult refuse(const QString &text, const QString &why)
{
    BrokerUrlResult result;
    result.error = QStringLiteral("bad broker URL \"") + text + QStringLiteral("\": ") + why;
    return result;
}

} // namespace

QString BrokerUrl::topic(const QString &serial, const QString &leaf) const
{
    const QString tail = TopicLevel(serial) + QLatin1Char('/') + leaf;
    return prefix.isEmpty() ? tail : prefix + QLatin1Char('/') + tail;
}

BrokerUrlResult ParseBrokerUrl(const QString &text)
{
    BrokerUrlResult result;
    BrokerUrl &url = result.url;
    QString rest;
    if (text.startsWith(QLatin1String("mqtt://"))) {
        rest = text.mid(7);
    } else if (text.startsWith(QLatin1String("mqtts://"))) {
        url.tls = true;
        url.port = 8883;
        rest = text.mid(8);
    } else {
        return refuse(text, QStringLiteral("it must start with mqtt:// or mqtts://"));
    }
    const qsizetype slash = rest.indexOf(QLatin1Char('/'));
    QString authority = slash < 0 ? rest : rest.left(slash);
    url.prefix = slash < 0 ? QString() : rest.mid(slash + 1);
    while (url.prefix.endsWith(QLatin1Char('/')))
        url.prefix.chop(1);
    if (url.prefix.contains(QLatin1Char('+')) || url.prefix.contains(QLatin1Char('#')))
        return refuse(text, QStringLiteral("the topic prefix may not hold + or #"));
    if (authority.contains(QLatin1Char('@')))
        return refuse(text, QStringLiteral("give the user with --mqtt-user and the password in "
                                           "--mqtt-password-file, not in the URL"));
    QString portText;
    if (authority.startsWith(QLatin1Char('['))) {
        const qsizetype close = authority.indexOf(QLatin1Char(']'));
        if (close < 0)
            return refuse(text, QStringLiteral("an IPv6 address needs its closing ]"));
        url.host = authority.mid(1, close - 1);
        const QString after = authority.mid(close + 1);
        if (!after.isEmpty() && !after.startsWith(QLatin1Char(':')))
            return refuse(text, QStringLiteral("unexpected text after the address"));
        portText = after.mid(1);
        if (after.isEmpty())
            portText.clear();
        else if (portText.isEmpty())
            return refuse(text, QStringLiteral("no port after the colon"));
    } else {
        const qsizetype colon = authority.indexOf(QLatin1Char(':'));
        url.host = colon < 0 ? authority : authority.left(colon);
        if (colon >= 0) {
            portText = authority.mid(colon + 1);
            if (portText.isEmpty())
                return refuse(text, QStringLiteral("no port after the colon"));
        }
    }
    if (url.host.isEmpty())
        return refuse(text, QStringLiteral("no host"));
    if (!portText.isEmpty()) {
        bool ok;
        url.port = portText.toInt(&ok);
        if (!ok || url.port < 1 || url.port > 65535 || portText.startsWith(QLatin1Char('+')))
            return refuse(text, QStringLiteral("the port must be 1 to 65535"));
    }
    return result;
}

QString TopicLevel(const QString &text)
{
    QString level = text.trimmed();
    for (QChar &c : level) {
        if (c == QLatin1Char('/') || c == QLatin1Char('+') || c == QLatin1Char('#') || c.isSpace())
            c = QLatin1Char('_');
    }
    return level.isEmpty() ? QStringLiteral("unknown") : level;
}
