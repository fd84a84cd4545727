// SPDX-License-Identifier: GPL-3.0-or-later
// The logger's pure codecs on any bytes: time stamps (both ways), block headers and slot
// scans, and dataset records in every units code.
#include "logger/DatasetRecord.h"
#include "logger/LoggerBlock.h"
#include "logger/LoggerTimeStamp.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));

    const LoggerTimeStamp stamp = LoggerTimeStamp::decode(bytes);
    if (stamp.encode().size() != LoggerTimeStamp::Size)
        std::abort();
    const double days = stamp.toDays();
    const LoggerTimeStamp again = LoggerTimeStamp::fromDays(days);
    if (stamp.passesDownloadCheck() && stamp.year >= 1 && stamp.day >= 1 &&
        !(again.year >= stamp.year))
        std::abort();
    double anyDays = 0;
    if (size >= sizeof anyDays) {
        std::memcpy(&anyDays, data, sizeof anyDays);
        LoggerTimeStamp::fromDays(anyDays);
    }

    const std::optional<LoggerBlock::Header> header = LoggerBlock::decodeHeader(bytes);
    const LoggerBlock::SlotScan scan = LoggerBlock::scanSlots(bytes);
    if (scan.firstEmptyOffset > LoggerBlock::Size || scan.filledSlots > LoggerBlock::SlotsPerBlock)
        std::abort();
    if (header) {
        const qint32 interval = header->intervalSeconds();
        const DatasetRecord::Units units = DatasetRecord::UnitsFor(header->unitsCode);
        const int perRecord = DatasetRecord::ReadingsPerRecord(interval / 2 + 1, interval);
        if (perRecord < 1)
            std::abort();
        for (int offset = LoggerBlock::FirstSlotOffset; offset < scan.firstEmptyOffset;
             offset += LoggerBlock::SlotSize)
            DatasetRecord::Decode(bytes, offset, units, perRecord);
    }
    return 0;
}
