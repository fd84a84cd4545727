// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QString>
#include <QtGlobal>

// What a record slot of a logger block stands for: raw Total and Diffuse (12 bits each)
// and the count of the record's readings that saw sunshine, turned into the units of the
// block's units code.
namespace DatasetRecord {

// How a block's units code turns raw values into its unit and how they are written.
struct Units
{
    // Raw value times factor, in single precision.
    float factor = 0;
    // The number pattern of Total and Diffuse.
    QString numberFormat;
    // "Units: W.m-2" and so on; empty for an unknown code.
    QString text;
};

Units UnitsFor(quint8 unitsCode);

// How many readings one record sums up: the interval over the reading period, rounded
// (halves to even), halved and rounded again while it is above 255 (the sunshine count
// is one byte); 1 when the interval is not longer than the reading period, or when the
// reading period is unknown (0 s).
int ReadingsPerRecord(qint32 readingPeriod, qint32 interval);

struct Values
{
    int rawTotal = 0;
    int rawDiffuse = 0;
    int sunCount = 0;
    float total = 0;
    float diffuse = 0;
    // The fraction of the record's readings that saw sunshine.
    float sun = 0;
};

// The record in the four bytes at `offset` of `block`.
Values Decode(const QByteArray &block, int offset, const Units &units, int readingsPerRecord);

} // namespace DatasetRecord
