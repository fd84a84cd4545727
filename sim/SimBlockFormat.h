// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "SimTimeStamp.h"

#include <QByteArray>
#include <QString>
#include <QtGlobal>

#include <optional>

// How the logger lays out its memory: 512-byte blocks, each a 12-byte header and 125
// record slots of 4 bytes; an empty slot holds four 0xFF bytes, as erased memory does.
namespace SimBlock {

constexpr int Size = 512;
constexpr int HeaderSize = 12;
constexpr int SlotSize = 4;
constexpr int SlotsPerBlock = (Size - HeaderSize) / SlotSize;
constexpr char Erased = static_cast<char>(0xFF);

constexpr int slotOffset(int slot)
{
    return HeaderSize + SlotSize * slot;
}

// Period codes: bits 7-6 the unit (seconds, minutes, hours, invalid), bits 5-0 the count.
int periodSeconds(quint8 code);
quint8 periodCode(int seconds);

// How many readings one record sums up: the averaging period over the reading period,
// halved until it fits the sunshine count's byte; 1 when the record holds one reading.
int readingsPerRecord(int readingSeconds, int averagingSeconds);

// Units codes of the block header: the factor that turns a raw value into the unit, and
// the units text the program files the records under.
float unitsFactor(int unitsCode);
QString unitsText(int unitsCode);

struct Header
{
    SimTimeStamp stamp; // time of the block's first record slot
    quint8 readingCode = 0;
    quint8 averagingCode = 0;
    quint8 unitsCode = 0;

    // The time between two records of the block.
    int intervalSeconds() const;
    QByteArray bytes() const;
    static Header read(const QByteArray &block);
};

// One record: raw total and diffuse (12 bits each) and the count of the record's readings
// that saw sunshine.
struct Record
{
    int total = 0;
    int diffuse = 0;
    int sunCount = 0;

    QByteArray bytes() const;
    // The record in slot `slot` of `block`; nothing when the slot is empty.
    static std::optional<Record> read(const QByteArray &block, int slot);

    friend bool operator==(const Record &a, const Record &b)
    {
        return a.total == b.total && a.diffuse == b.diffuse && a.sunCount == b.sunCount;
    }
};

} // namespace SimBlock
