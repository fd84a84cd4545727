// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDateTime>
#include <QJsonObject>
#include <QString>

#include <optional>

class PortTable;
class SensorLink;
struct LoggerDetails;
struct LoggerState;

// What quorvel-cli prints for scripts: JSON objects with fixed snake_case keys that owe
// nothing to the windows' captions or the locale, numbers as numbers, times as ISO 8601
// with the UTC offset, and null for what is not known, with the same keys in every state.
// The man page's JSON section lists every key; a change to a key or its meaning raises
// SchemaVersion.
namespace JsonContract {

constexpr int SchemaVersion = 1;

namespace Key {
constexpr char SchemaVersion[] = "schema_version";
constexpr char Time[] = "time";
// Ports.
constexpr char Number[] = "number";
constexpr char Device[] = "device";
constexpr char ById[] = "by_id";
constexpr char Description[] = "description";
constexpr char Opened[] = "opened";
constexpr char Answer[] = "answer";
// The instrument.
constexpr char Model[] = "model";
constexpr char Version[] = "version";
constexpr char Serial[] = "serial";
constexpr char Units[] = "units";
constexpr char PowerText[] = "power_text";
constexpr char BatteryMv[] = "battery_mv";
constexpr char HasLogger[] = "has_logger";
constexpr char LogStatus[] = "log_status";
constexpr char Logging[] = "logging";
constexpr char Total[] = "total";
constexpr char Diffuse[] = "diffuse";
constexpr char Sun[] = "sun";
// The logger.
constexpr char LoggerTime[] = "logger_time";
constexpr char ClockOffsetS[] = "clock_offset_s";
constexpr char Overwrite[] = "overwrite";
constexpr char ReadingPeriodS[] = "reading_period_s";
constexpr char AveragingPeriodS[] = "averaging_period_s";
constexpr char MemoryBlocks[] = "memory_blocks";
constexpr char MemoryBytes[] = "memory_bytes";
constexpr char NextRecord[] = "next_record";
constexpr char FirstRecord[] = "first_record";
constexpr char LastRecord[] = "last_record";
constexpr char LastRetrieved[] = "last_retrieved";
constexpr char RecordsLogged[] = "records_logged";
constexpr char RecordsRetrieved[] = "records_retrieved";
constexpr char RecordsNotDownloaded[] = "records_not_downloaded";
constexpr char MemoryUsedPercent[] = "memory_used_percent";
constexpr char MemoryFull[] = "memory_full";
constexpr char Kind[] = "kind";
// status --check problems.
constexpr char Problem[] = "problem";
constexpr char Value[] = "value";
constexpr char Limit[] = "limit";
constexpr char Message[] = "message";
} // namespace Key

// "2026-10-25T01:30:00+01:00": the local time with its offset from UTC, whatever the
// locale.
QString IsoTime(const QDateTime &time);

// The supply in millivolts from the instrument's power text, in either style: "3612mV"
// (or "3612mV Battery") and "3.61V"; nothing when the text holds no number with a unit.
std::optional<int> BatteryMillivolts(const QString &power);

// A reading as a script reads it: the window's decimals (two in klux, else one) with a
// point, whatever the locale.
QString ReadingText(float value, const QString &units);

// The model (the version line's first word).
QString ModelOf(const QString &version);

// The units without the instrument's "Units:" prefix ("W.m-2").
QString UnitsOf(const SensorLink &link);

// The instrument has a data logger: its status has a log status line (as the main window
// decides whether to offer the logger).
bool HasLogger(const SensorLink &link);

// One port of the table; `probe` adds opened and answer (null without one).
QJsonObject PortFacts(const PortTable &table, int number);

// status: the instrument's identity, power, log status and readings (null when none came).
QJsonObject StatusFacts(const SensorLink &link, const QDateTime &now);

// read: one reading.
QJsonObject ReadingFacts(const SensorLink &link, const QDateTime &now);

// The logger's clock offset in seconds, to 0.1 s. The logger's clock counts whole
// seconds and its stamp is compared with the computer's time at the reply, which has a
// fraction: the offset is the logger's second against the computer's, so a clock that
// agrees reads 0 rather than a fraction of a second behind.
double ClockOffsetSeconds(double offsetDays);

// logger info: the logger window's details.
QJsonObject LoggerFacts(const SensorLink &link, const LoggerDetails &details, const QDateTime &now);

} // namespace JsonContract
