// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ReadingSums.h"

#include <QChar>
#include <QDateTime>
#include <QString>
#include <QStringList>

// The log file's header lines; the separator and the lines it shares with the dataset
// file are in common/DataFileText.h.

// What the header tells about the instrument and the columns.
struct LogFileInfo
{
    QString version;      // the instrument's version line ("ZQ5 v1.03")
    QString serialNumber; // "1234"
    QString units;        // the units line ("Units: W.m-2")
    bool individual = false;
    CalibrationValues calValues{};
};

// Four lines (five with individual sensors): the model and the time the file was made,
// the version and serial number, the units, the calibration factors with individual
// sensors, and the column names. Written alike in both forms.
QStringList LogFileHeader(const LogFileInfo &info, const QDateTime &now, QChar separator);
