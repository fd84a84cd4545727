// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

#include <optional>

// What the program reads from the instrument's version line (model name first, for
// example "ZQ3 v2.1"): every rule that depends on the model lives here. The comparisons
// are case-sensitive, as the instrument writes its name in capitals.

// A model with a thermistor and a chip thermometer: neither "ZQ2" nor "ZQ3 v2." appears
// anywhere in the version line. Decides the temperature readings and columns.
bool IsTemperatureModel(const QString &version);

// The model word opening the first line of the log file and of the dataset file: the
// version up to and including its first blank when that is 4 or 5 characters long
// ("ZQ5 ", "VTA1 "), otherwise "ZQ3&4 ".
QString LogFileModelWord(const QString &version);

// The ZQ2 and ZQ3 know neither the details ("X") nor the ratio ("T") command.
bool HasDetailsCommands(const QString &version);

// A model whose units cannot be changed: its name as the refusal shows it and the units
// it always reads in (0 = molar, 1 = energy, 2 = illuminance).
struct FixedUnits
{
    QString model;
    int unitsIndex;
};

// The ZQ2 reads molar units, the ZQ4 and the VTA1 energy units; the others can change.
std::optional<FixedUnits> FixedUnitsOf(const QString &version);

// Which calibration reader suits the model, chosen by the start of the version line.
enum class CalibrationSource {
    HexDump,      // ZQ2 and ZQ3 v1: the "0x00:" line of the memory dump
    UserLine,     // ZQ3 v2, ZQ4, ZQ5 and VTA1: the "User:" line
    Unrecognised, // any other model: every factor taken as 1
};

struct CalibrationChoice
{
    CalibrationSource source;
    // Shown when the reader fails (empty for an unrecognised model).
    QString failureMessage;
};

CalibrationChoice ChooseCalibration(const QString &version);
