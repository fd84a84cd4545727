// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QString>

#include <array>
#include <optional>

// The instruments the simulator can stand in for.
enum class SimModel { ZQ2, ZQ3v1, ZQ3v2, ZQ4, ZQ5, VTA1 };

// Reading units, numbered as the units command "U" numbers them.
enum class SimUnits { Molar = 0, Energy = 1, Illuminance = 2 };

// Where the calibration factors sit in the reply to the test-mode command "E".
enum class CalibrationLayout {
    HexDump,  // a memory dump whose line "0x00:" holds eight big-endian factors
    UserLine, // a text dump whose line "User:" holds seven decimal factors
};

// What sets one model apart from another, fixed by its firmware.
struct ModelTraits
{
    SimModel model;
    QByteArray version; // the model name, a blank, the firmware version
    std::optional<SimUnits> fixedUnits;
    CalibrationLayout calibrationLayout;
    bool hasThermometers; // answers the test-mode "I" with its two temperatures
    bool hasDetails;      // answers "X" (serial number, calibration date) and "T" (ratio)
    bool hasLogger;       // carries a data logger of its own
};

const ModelTraits &traitsOf(SimModel model);

// Accepts the names the simulator's users type: ZQ2, ZQ3 (or ZQ3v1), ZQ3v2, ZQ4, ZQ5,
// VTA1, in any case, with or without a blank before the version.
std::optional<SimModel> modelFromName(const QString &name);
// The names modelFromName takes, as a message lists them.
inline constexpr char KnownModelNames[] = "ZQ2, ZQ3, ZQ3v2, ZQ4, ZQ5 or VTA1";
QString modelName(SimModel model);

// The particulars of one instrument of a model: its serial number, calibration and
// supply. Defaults differ by model so that each simulated instrument looks distinct.
struct InstrumentIdentity
{
    QByteArray serialNumber;
    QByteArray calibrationDate;
    // The first line of the identification as sent, byte for byte (a name with a Latin-1
    // letter, a tab, a control byte); the model's own version when empty.
    QByteArray versionLine;
    double sunshineRatio = 1.2;
    int powerMillivolts = 3612;
    // Factor of each light sensor channel 0..7; 4096 stands for 1. Models with the
    // "User:" layout keep channel 0 at 4096.
    std::array<int, 8> calibration{};

    static InstrumentIdentity defaultFor(SimModel model);
};
