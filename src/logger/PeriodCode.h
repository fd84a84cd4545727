// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QtGlobal>

// The one-byte period code of logger programs and block headers: bits 7-6 the unit
// (00 seconds, 01 minutes, 10 hours, 11 invalid), bits 5-0 the count.

// The period in seconds; 0 for the invalid unit.
qint32 PeriodFromCode(quint8 code);

// The code for a period of `seconds`: below 60 s counted in seconds, below 3600 s in
// minutes, otherwise in hours, the count rounded to the nearest unit (halves to even).
// A count that does not fit the six bits is held at 63 (0 for a negative period), so a
// long period never spills into the unit bits.
quint8 CodeFromPeriod(qint32 seconds);
