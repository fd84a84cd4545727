// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "logger/LoggerTimeStamp.h"

#include <QByteArray>
#include <QtGlobal>

#include <optional>

// A 512-byte block of the logger's memory: a 12-byte header (time stamp of the first
// record slot, reading-period code, averaging-period code, units code, one unused byte)
// and 125 record slots of 4 bytes from offset 12. A slot of four 0xFF bytes is empty,
// and the first empty slot ends the block's data.
namespace LoggerBlock {

constexpr int Size = 512;
constexpr int HeaderSize = 12;
constexpr int SlotSize = 4;
constexpr int FirstSlotOffset = HeaderSize;
constexpr int LastSlotOffset = Size - SlotSize;
constexpr int SlotsPerBlock = (Size - HeaderSize) / SlotSize;

// The place (from 0) of the slot at byte offset `offset` of its block.
constexpr int SlotIndex(int offset)
{
    return (offset - FirstSlotOffset) / SlotSize;
}

// The logger names a place in its memory by the byte offset of a record's slot: its
// download position (the last record downloaded), the top block's fill (the last record
// logged). The records of the block up to and including that slot are (offset - 8) / 4:
// the slot at 12 is the first record, so 8 is the offset one slot before it. An offset
// below 12 names no slot (8 is the logger's "none of this block yet") and counts none.
// Division, not whole-number division: an offset inside a slot counts as far as it goes.
constexpr double RecordsThrough(qint64 offset)
{
    return offset >= FirstSlotOffset
               ? static_cast<double>(offset - (FirstSlotOffset - SlotSize)) / SlotSize
               : 0.0;
}

// The place of a block's last record from the offset of its first empty slot (Size when
// it has none): (offset - 16) / 4, the slot before the empty one; -1 for a block whose
// first slot is empty, whose last record would be one interval before the block's time.
constexpr int LastRecordSlot(int firstEmptyOffset)
{
    return SlotIndex(firstEmptyOffset - SlotSize);
}

struct Header
{
    LoggerTimeStamp stamp;
    quint8 readingCode = 0;
    quint8 averagingCode = 0;
    quint8 unitsCode = 0;

    // The time between two records: the longer of the reading and averaging periods.
    qint32 intervalSeconds() const;
};

// The header of a block, or of the first bytes of one (the logger sends 12 or 8 of them
// on request); empty when fewer than `wanted` bytes are there. With 8 bytes only the
// time stamp is known and the three codes read as 0.
std::optional<Header> decodeHeader(const QByteArray &bytes, int wanted = HeaderSize);

// Where a block's data ends.
struct SlotScan
{
    // Offset of the first empty slot, Size when every slot is filled.
    int firstEmptyOffset = FirstSlotOffset;
    // Offset of the last filled slot before it, 0 when the first slot is empty.
    int lastFilledOffset = 0;
    // Number of filled slots before the first empty one.
    int filledSlots = 0;
};

// Scans the slots from offset 12 on; bytes missing from a short block count as empty.
SlotScan scanSlots(const QByteArray &block);

bool isEmptySlot(const QByteArray &block, int offset);

} // namespace LoggerBlock
