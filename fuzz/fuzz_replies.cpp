// SPDX-License-Identifier: GPL-3.0-or-later
// The text reply parsers on any bytes: none may crash, and what they accept keeps the
// limits the windows rely on.
#include "link/StatusReplies.h"
#include "link/TestModeReplies.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
    const QString text = QString::fromLatin1(bytes);

    if (StatusInfoText(bytes).size() > MaxStatusInfoLength)
        std::abort();
    const ParsedReply<StatusLines> status = ParseStatusReply(bytes);
    if (status.ok()) {
        for (const QString &line : {status.value->version, status.value->units, status.value->power,
                                    status.value->serialNumber, status.value->logStatus})
            if (line.size() > MaxStatusLineLength || line.contains(QLatin1Char('\r')))
                std::abort();
    }
    const ParsedReply<PlainReadings> readings = ParseReadingsReply(bytes);
    if (readings.ok() &&
        (!std::isfinite(readings.value->total) || !std::isfinite(readings.value->diffuse)))
        std::abort();

    ParseHexDumpCalibration(text);
    ParseUserLineCalibration(text);
    ParseIndividualReadingReply(text);
    ParseTemperatureReply(text);
    const ParsedReply<SensorDetails> details = ParseDetailsReply(text);
    if (details.ok() && (details.value->serialNumber.size() > MaxDetailsFieldLength ||
                         details.value->calibrationDate.size() > MaxDetailsFieldLength))
        std::abort();
    ParseRatioReply(text);
    return 0;
}
