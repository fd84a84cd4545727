// SPDX-License-Identifier: GPL-3.0-or-later
#include "logger/LoggerBlock.h"

#include "logger/PeriodCode.h"

#include "link/Frame.h"

#include <algorithm>

namespace LoggerBlock {

namespace {

constexpr int ReadingCodeOffset = 8;
constexpr int AveragingCodeOffset = 9;
constexpr int UnitsCodeOffset = 10;

} // namespace

qint32 Header::intervalSeconds() const
{
    return std::max(PeriodFromCode(readingCode), PeriodFromCode(averagingCode));
}

std::optional<Header> decodeHeader(const QByteArray &bytes, int wanted)
{
    if (bytes.size() < std::max(wanted, LoggerTimeStamp::Size))
        return std::nullopt;
    Header header;
    header.stamp = LoggerTimeStamp::decode(bytes, 0);
    header.readingCode = Frame::byteAt(bytes, ReadingCodeOffset);
    header.averagingCode = Frame::byteAt(bytes, AveragingCodeOffset);
    header.unitsCode = Frame::byteAt(bytes, UnitsCodeOffset);
    return header;
}

bool isEmptySlot(const QByteArray &block, int offset)
{
    if (offset < 0 || offset + SlotSize > block.size())
        return true;
    for (int i = 0; i < SlotSize; ++i) {
        if (Frame::byteAt(block, offset + i) != 0xFF)
            return false;
    }
    return true;
}

SlotScan scanSlots(const QByteArray &block)
{
    SlotScan scan;
    scan.firstEmptyOffset = Size;
    for (int offset = FirstSlotOffset; offset <= LastSlotOffset; offset += SlotSize) {
        if (isEmptySlot(block, offset)) {
            scan.firstEmptyOffset = offset;
            break;
        }
        scan.lastFilledOffset = offset;
        ++scan.filledSlots;
    }
    return scan;
}

} // namespace LoggerBlock
