// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "publish/JournalReader.h"

#include <QByteArray>
#include <QString>

#include <optional>

// The JSON of one published line, on <prefix>/<serial>/reading (a PC log line) or
// <prefix>/<serial>/record (a downloaded record), in one line:
//   {"time":"2026-12-05T17:46:00+00:00","serial":"1234","total":512.3,"diffuse":87,
//    "sun":1,"units":"W.m-2","sensors":[...],"temperature":21.4,"period_s":60,
//    "readings":6}
// Numbers are JSON numbers and a missing value is null: the values of a "bad readings"
// line, a temperature none was read for, a period or count the file does not tell.
// "sensors" is empty without individual sensors. `time` and `serial` together name a
// line, so that a consumer can drop the repeats an at-least-once delivery may bring.
struct MessageFacts
{
    QString serial;
    QString units;
    std::optional<double> periodSeconds;
    // The readings an averaging period takes (0 on a "bad readings" line).
    std::optional<int> readings;
};

QByteArray ReadingJson(const JournalRecord &record, const MessageFacts &facts);
