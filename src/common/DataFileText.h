// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QChar>
#include <QDateTime>
#include <QString>
#include <QStringList>

// The rules shared by the two files the program writes, the PC log file and the dataset
// file of a download: the separator chosen by the file's name, the comma form's fields,
// the heading lines and the save dialog's file types.

// The save dialog's file types; the first is the default.
inline const QString DataFileFilter =
    QStringLiteral("ZQ3 tab separated file (*.txt);;ZQ3 comma separated file (*.csv)");

// "," when the name ends in "csv" (lower case only), otherwise a tab.
QChar DataFileSeparator(const QString &path);

// A field as the file holds it: in the comma form every comma of the text (a decimal
// comma of the regional settings) becomes a point, so that it cannot split the field.
QString DataFileField(QString text, QChar separator);

// The first line: the model word, the kind of file ("Logger Data file " for the PC log,
// "Data file " for a dataset) and when it was written ("ZQ5 Data file 05/12/2026 17:14:08").
QString DataFileFirstLine(const QString &modelWord, const QString &kind, const QDateTime &now);
// The second line: "ZQ5 v1.03 Ser No: 1234".
QString DataFileSecondLine(const QString &version, const QString &serialNumber);
// The units line: "Reading " and the units.
QString DataFileUnitsLine(const QString &units);
// The column names every file starts with: Time, Total, Diffuse and Sun.
QStringList DataFileColumns();
