// SPDX-License-Identifier: GPL-3.0-or-later
// The numeric text on any characters: a number read is finite, and the integer
// conversions never give a value out of their range.
#include "common/NumericText.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString text =
        QString::fromLatin1(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
    bool overflow = false;
    const double value = NumericValue(text, &overflow);
    if (!std::isfinite(value) || (overflow && value != 0))
        std::abort();
    const std::optional<double> whole = WholeNumericValue(text);
    if (whole && (!std::isfinite(*whole) || *whole != value))
        std::abort();
    double any = value;
    if (size >= sizeof any)
        std::memcpy(&any, data, sizeof any);
    for (const double x : {value, any}) {
        RoundHalfEven(x);
        ToInt16(x);
        ToInt32(x);
    }
    return 0;
}
