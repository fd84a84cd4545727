// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QString>

// The instrument's own texts as the program keeps them. The instrument sends 8-bit
// characters: each byte is the Latin-1 character of that code ("Zürich" comes as one byte
// 0xFC), a tab is a blank, and other control bytes are no part of the text and are
// dropped. Files and windows then show the characters themselves (in UTF-8 in a file).
QString InstrumentText(const QByteArray &bytes);
// The same for a reply already turned into characters one per byte.
QString InstrumentText(const QString &text);

// True when more than a quarter of the bytes of `line` are no printable ASCII: line noise
// rather than the instrument's text, which may hold a few other characters (a name with
// an accent, a stray control byte) but is mostly plain ASCII.
bool IsLineNoise(const QByteArray &line);

// `text` cut to at most `width` (1 or more) characters; a cut text ends in "…", so that it
// is seen to be cut.
QString CutToWidth(const QString &text, int width);
