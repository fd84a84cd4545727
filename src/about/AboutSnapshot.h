// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDateTime>
#include <QString>

#include <functional>

class SensorLink;

// What the about box tells about the program itself.
struct ProgramFacts
{
    QString title;
    int major = 0;
    int minor = 0;
    int revision = 0;
    // The date of the source the program was built from, which follows the version;
    // invalid when it is not known.
    QDate sourceDate;

    // This program: title, version and source date from the build. The date is the
    // source's (SOURCE_DATE_EPOCH, or the last commit's time, when it was configured), not
    // the program file's: two builds of the same source are the same bytes, and a copied
    // or reinstalled file does not change it.
    static ProgramFacts current();
};

// "Version 1.0.0", two blanks and the source date in the long date format; without the
// date when it is not known.
QString VersionLine(const ProgramFacts &facts);

// The lines the sensor details add to the snapshot, from the reply to "X" CR in test
// mode: a line break, "Serial No: " and field 0, a line break, "Calibrated: " and field 1.
// Empty for a reply shorter than 5 characters (or none).
QString SensorDetailsLines(const QString &reply);

// The line the sunshine ratio adds, from the reply to "T" CR LF in test mode: a line
// break, "Sunshine ratio: " and the 5 characters after "ratio" in the reply. Empty for a
// reply without "ratio" (or none).
QString SunshineRatioLine(const QString &reply);

// What the about box reads from the instrument when it opens, and which instrument it
// was.
struct InstrumentReadout
{
    // The link's Version and SerialNumber when read.
    QString version;
    QString serialNumber;
    // The link's status as the box found it, and as the box's own commands left it.
    QString statusFound;
    QString statusLeft;
    // SensorDetailsLines and SunshineRatioLine.
    QString details;
    QString ratio;

    // What the link says before any exchange: no details, no ratio.
    static InstrumentReadout found(const SensorLink &link);
    // Reads the details and the ratio through the link's queue (two test-mode commands;
    // nothing is sent to a ZQ2 or ZQ3, whose readout `done` hears at once).
    static void request(SensorLink &link, std::function<void(const InstrumentReadout &)> done);
};

// The snapshot as the link stands now, without any exchange: its status (the one found
// when the box opened until the link has another), version, units, battery and counts,
// with the readout's details and ratio only while the same instrument (version and serial
// number) is there. Lines as SensorSnapshot.
QString SnapshotText(const SensorLink &link, const InstrumentReadout &readout,
                     const QDateTime &now);
