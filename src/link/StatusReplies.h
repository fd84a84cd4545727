// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "link/ParsedReply.h"

#include <QByteArray>
#include <QString>

// The replies to the two commands the link sends outside test mode: the status "I" and
// the readings "S". Each reply starts with the command letter echoed and its lines end in
// CR. Bytes before the echo are line noise and are skipped; a reply without its echo is
// refused.

// The longest line of the status kept: a longer one is cut to this length, ending in "…",
// so that noise cannot push the main window's and the logger window's texts off the
// screen.
constexpr int MaxStatusLineLength = 64;
// The longest status reply kept whole by StatusInfoText.
constexpr int MaxStatusInfoLength = 400;

// The five lines of the status, each without its CR, as InstrumentText keeps them, and at
// most MaxStatusLineLength characters long.
struct StatusLines
{
    QString version; // without blanks at its ends: its first word is the model
    QString units;
    // Cut after the first "mV" when that stands after the line's first character
    // ("Battery 3612mV (ok)" -> "Battery 3612mV"); otherwise the whole line.
    QString power;
    QString serialNumber;
    QString logStatus;
};

// The status reply as the link keeps it whole: what follows the echoed "I" (the echo found
// as ParseStatusReply finds it; without one, the reply less a leading "I"), cut to
// MaxStatusInfoLength characters (ending in "…" when cut).
QString StatusInfoText(const QByteArray &reply);

// The five lines after the echoed "I": the echo is the last "I" before the fifth CR from
// the end, so that noise before it (even noise holding an "I" or a CR) is skipped.
// Refused when the reply has fewer than five CRs, no echo, or a line that is line noise
// (IsLineNoise). Anything after the fifth line is ignored.
ParsedReply<StatusLines> ParseStatusReply(const QByteArray &reply);

struct PlainReadings
{
    float total = 0;
    float diffuse = 0;
    bool sun = false;
};

// "S" total "," diffuse "," sun CR after the last "S" of the reply. Total and diffuse are
// numbers as WholeNumericValue reads them (blanks inside skipped) that fit a float; sun is
// "0" or "1". Refused unless the reply ends in CR and its line is exactly that: noise,
// a missing field or an overflowing number is no reading (never a reading of 0).
ParsedReply<PlainReadings> ParseReadingsReply(const QByteArray &reply);
