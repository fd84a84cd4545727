// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "link/ParsedReply.h"

#include <QString>
#include <QtGlobal>

#include <array>
#include <optional>

// The replies to commands sent in test mode, as TestCommand hands them over (without the
// line end and "TEST:" prompt). A number is read the way NumericValue reads it; a number
// too large for a double leaves its field empty, and so does a count that is no 16-bit
// or a factor that is no 32-bit whole number, so that the caller can report "Overflow".

// "E" on a ZQ2 or ZQ3 v1: the memory dump line after "0x00:" and one blank holds per
// channel 0..7 two hexadecimal digit pairs, high byte first, each pair followed by a
// blank. A reply of 880 characters or more is read even without the marker, its fields
// taken from the sixth character on. Digits that are not hexadecimal read as 0. Refused
// when the reply is shorter and lacks the marker.
ParsedReply<std::array<qint32, 8>> ParseHexDumpCalibration(const QString &reply);

// "E" on a ZQ3 v2, ZQ4, ZQ5 or VTA1: fields of five characters, one separator apart, from
// the fifth character after the colon of "User:" (from the ninth character of a reply of
// 100 characters or more without the marker). Only seven fit in the 42 characters taken:
// the factors of channels 1..7; the eighth field is always empty and reads 0. Refused when
// the reply is shorter than 100 characters and lacks the marker.
using UserLineFactors = std::array<std::optional<qint32>, 8>;
ParsedReply<UserLineFactors> ParseUserLineCalibration(const QString &reply);

// "S" in test mode: "S" total "," diffuse "," sun "(" eight blank-separated counts ")",
// read from the last "S" (line noise before it is skipped). Each field is read from after
// the first separator before it (from the start of what is left when there is none). When
// the blanks between the counts run out early, the rest is read again for every remaining
// channel. Refused unless the reply holds an "S" and ends with ")".
struct IndividualReadingReply
{
    std::optional<double> total;
    std::optional<double> diffuse;
    std::optional<double> sun;
    // Empty when any count is too large.
    std::optional<std::array<qint16, 8>> counts;
};
ParsedReply<IndividualReadingReply> ParseIndividualReadingReply(const QString &reply);

// "I" in test mode: each temperature is the 7 characters right after "Therm temp" or
// "Chip temp"; without "Chip temp" the chip temperature is 0. Refused when the reply has
// no "Therm temp" or is shorter than 25 characters.
struct TemperatureReply
{
    std::optional<double> thermistor;
    std::optional<double> chip;
};
ParsedReply<TemperatureReply> ParseTemperatureReply(const QString &reply);

// The longest field of the details reply kept: a longer one is cut to this length, ending
// in "…".
constexpr int MaxDetailsFieldLength = 64;

// "X" CR: field k is the line starting with the digit k and ":", without the digit, the
// colon and the blank after them, as InstrumentText keeps it (a LF of a CR LF dropped),
// cut to MaxDetailsFieldLength characters. The last line has no CR of its own (the link
// takes the line end before the prompt away), so a field also ends at the end of the
// reply. A field without its line is empty. Refused when the reply is shorter than 5
// characters.
struct SensorDetails
{
    QString serialNumber;    // field 0
    QString calibrationDate; // field 1
};
ParsedReply<SensorDetails> ParseDetailsReply(const QString &reply);

// "T" CR LF: the 5 characters after the first "ratio"; refused without "ratio".
ParsedReply<QString> ParseRatioReply(const QString &reply);
