// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

// Right-aligns text in a column of n characters: n minus its length blanks, then the text.
// A text as long as n or longer comes back unchanged.
QString PadLeft(const QString &text, int n);
