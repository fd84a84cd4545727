// SPDX-License-Identifier: GPL-3.0-or-later
#include "publish/ReadingMessage.h"

namespace {

void appendString(QByteArray &json, const QString &text)
{
    json += '"';
    for (const char c : text.toUtf8()) {
        if (c == '"' || c == '\\') {
            json += '\\';
            json += c;
        } else if (static_cast<unsigned char>(c) < 0x20) {
            json += QByteArray("\\u00") +
                    QByteArray::number(static_cast<int>(c), 16).rightJustified(2, '0');
        } else {
            json += c;
        }
    }
    json += '"';
}

void appendNumber(QByteArray &json, const std::optional<double> &value)
{
    json += value ? QByteArray::number(*value, 'g', 15) : QByteArrayLiteral("null");
}

} // namespace

QByteArray ReadingJson(const JournalRecord &record, const MessageFacts &facts)
{
    QByteArray json;
    json.reserve(256);
    json += "{\"time\":";
    appendString(json, IsoTimeWithOffset(record.time));
    json += ",\"serial\":";
    appendString(json, facts.serial);
    json += ",\"total\":";
    appendNumber(json, record.total);
    json += ",\"diffuse\":";
    appendNumber(json, record.diffuse);
    json += ",\"sun\":";
    appendNumber(json, record.sun);
    json += ",\"units\":";
    appendString(json, facts.units);
    json += ",\"sensors\":[";
    for (qsizetype i = 0; i < record.sensors.size(); ++i) {
        if (i > 0)
            json += ',';
        appendNumber(json, record.sensors.at(i));
    }
    json += "],\"temperature\":";
    appendNumber(json, record.temperature);
    json += ",\"period_s\":";
    appendNumber(json, facts.periodSeconds);
    json += ",\"readings\":";
    if (record.badReadings)
        json += '0';
    else
        appendNumber(json, facts.readings ? std::optional<double>(*facts.readings) : std::nullopt);
    json += '}';
    return json;
}
