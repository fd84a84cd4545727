// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

// The fields of a data file as the readers compare them. A locale may write its own digits
// (Arabic-Indic, Devanagari...), its own decimal mark (U+066B) and invisible direction
// marks (U+200F, U+200E, U+061C) around the fields; the readers see ASCII digits, a decimal
// point, no marks, and a plain blank for the narrow and no-break spaces. Other text (the
// AM and PM texts, month names, literal text of a pattern) stays as it is, in UTF-8.

// True when [begin, end) is all ASCII, which needs no change.
bool IsAsciiField(const char *begin, const char *end);

// The normalised UTF-8 text of [begin, end) into `out`; false when it needs more than
// `capacity` bytes.
bool NormaliseField(const char *begin, const char *end, char *out, qsizetype capacity,
                    qsizetype &length);

// The same for a text of the program (a pattern, a month name).
QString NormalisedText(const QString &text);
