// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

// The value of a hexadecimal text such as the calibration bytes of an "E" dump. Upper and
// lower case letters count alike. Of a text longer than 7 characters only the last 7 are
// read. Any character other than 0-9, A-F or a-f makes the whole result 0, and so does an
// empty text. Examples: "A5" -> 165, "ff" -> 255, "1G" -> 0. At most 268435455 (0xFFFFFFF).
int HexToValue(const QString &text);
