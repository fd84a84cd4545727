// SPDX-License-Identifier: GPL-3.0-or-later
#include "SimRecordSource.h"

#include <algorithm>
#include <cmath>

SimBlock::Record SkyRecordSource::recordAt(qint64 loggerSeconds, int readingSeconds,
                                           int averagingSeconds, int unitsCode) const
{
    const int perRecord = SimBlock::readingsPerRecord(readingSeconds, averagingSeconds);
    const int samples = std::min(perRecord, MaxSamples);
    // The sky is read at the computer's time of each moment: the logger's clock may be
    // set wrong, the sun is not.
    const qint64 endMs = m_clock.computerMsAt(loggerSeconds * 1000);
    const qint64 spanMs = perRecord > 1 ? static_cast<qint64>(averagingSeconds) * 1000 : 0;

    double total = 0;
    double diffuse = 0;
    int sunny = 0;
    for (int i = 0; i < samples; ++i) {
        const qint64 at = endMs - spanMs + spanMs * (i + 1) / samples;
        const SkyReading reading = m_sky.atLocalMs(at);
        total += reading.totalMolar;
        diffuse += reading.diffuseMolar;
        sunny += reading.sun ? 1 : 0;
    }

    SimBlock::Record record;
    const float factor = SimBlock::unitsFactor(unitsCode);
    if (factor > 0 && unitsCode >= 0 && unitsCode <= 2) {
        const auto units = static_cast<SimUnits>(unitsCode);
        record.total = static_cast<int>(std::lround(inUnits(total / samples, units) / factor));
        record.diffuse = static_cast<int>(std::lround(inUnits(diffuse / samples, units) / factor));
    }
    record.total = std::clamp(record.total, 0, 4095);
    record.diffuse = std::clamp(record.diffuse, 0, 4095);
    record.sunCount =
        static_cast<int>(std::lround(static_cast<double>(sunny) * perRecord / samples));
    return record;
}
