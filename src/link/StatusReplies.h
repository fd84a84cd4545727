#pragma once

#include "link/ParsedReply.h"

#include <QByteArray>
#include <QString>

// The replies to the two commands the link sends outside test mode: the status "I" and
// the readings "S". Each reply starts with the command letter echoed (it may be missing)
// and its lines end in CR.

// The five lines of the status, each without its CR.
struct StatusLines
{
    QString version;
    QString units;
    // Cut after the first "mV" when that stands after the line's first character
    // ("Battery 3612mV (ok)" -> "Battery 3612mV"); otherwise the whole line.
    QString power;
    QString serialNumber;
    QString logStatus;
};

// The status reply as the link keeps it whole: without the echoed "I".
QString StatusInfoText(const QByteArray &reply);

// The five lines after the echoed "I"; refused when the reply has fewer than five CRs.
// Anything after the fifth CR is ignored.
ParsedReply<StatusLines> ParseStatusReply(const QByteArray &reply);

struct PlainReadings
{
    float total = 0;
    float diffuse = 0;
    bool sun = false;
};

// "S" total "," diffuse "," sun CR, read as numbers the way NumericValue reads them: the
// total from the start, the diffuse reading from after the first comma (the start when
// there is none), the sun flag set when the line ends in "1". Refused unless the reply
// ends in CR.
ParsedReply<PlainReadings> ParseReadingsReply(const QByteArray &reply);
