// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QtGlobal>

#include <array>

// Calibration factor of each light sensor channel 0..7 (4096 stands for 1). Element 8 is
// written by the user-line reader and never used.
using CalibrationValues = std::array<qint32, 9>;

// The running sums of one averaging period: every reading is added until the period
// ends, then the averages are each sum divided by ReadingCount, the temperatures' by
// TempCount.
struct ReadingSums
{
    // Individual reading of each channel 0..7 in umol.m-2.s-1; element 8 is only cleared.
    std::array<float, 9> IndividualSums{};
    float TotalSum = 0;
    float DiffuseSum = 0;
    // Readings with sun (plain mode), or the sum of the sun values reported (individual).
    qint16 SunCount = 0;
    float ThermSum = 0;
    float ChipSum = 0;
    // Readings added since the last clear; temperatures do not count.
    qint16 ReadingCount = 0;
    // Temperature pairs added since the last clear: an instrument can answer the reading
    // and not the temperatures.
    qint16 TempCount = 0;

    void ClearSums() { *this = ReadingSums(); }
};
