// SPDX-License-Identifier: GPL-3.0-or-later
#include "SimMemory.h"

#include <algorithm>

SimMemory::SimMemory(int blocks)
    : m_blocks(std::clamp(blocks, 1, MaxBlocks)),
      m_bytes(static_cast<qsizetype>(m_blocks) * SimBlock::Size, SimBlock::Erased)
{}

QByteArray SimMemory::block(int block) const
{
    if (!contains(block))
        return QByteArray(SimBlock::Size, SimBlock::Erased);
    return m_bytes.mid(static_cast<qsizetype>(block) * SimBlock::Size, SimBlock::Size);
}

QByteArray SimMemory::read(int firstBlock, int length) const
{
    QByteArray out;
    out.reserve(std::max(0, length));
    int current = firstBlock;
    while (out.size() < length) {
        const QByteArray bytes = block(current);
        out += bytes.left(length - out.size());
        current = contains(current) ? next(current) : current;
    }
    return out;
}

void SimMemory::erase(int block)
{
    write(block, 0, QByteArray(SimBlock::Size, SimBlock::Erased));
}

void SimMemory::eraseAll()
{
    m_bytes.fill(SimBlock::Erased);
}

void SimMemory::writeHeader(int block, const SimBlock::Header &header)
{
    write(block, 0, header.bytes());
}

void SimMemory::writeRecord(int block, int slot, const SimBlock::Record &record)
{
    if (slot >= 0 && slot < SimBlock::SlotsPerBlock)
        write(block, SimBlock::slotOffset(slot), record.bytes());
}

void SimMemory::write(int block, int offset, const QByteArray &bytes)
{
    if (!contains(block) || offset < 0)
        return;
    const qsizetype base = static_cast<qsizetype>(block) * SimBlock::Size;
    const qsizetype count = std::min<qsizetype>(bytes.size(), SimBlock::Size - offset);
    for (qsizetype i = 0; i < count; ++i)
        m_bytes[base + offset + i] = bytes.at(i);
}

int SimMemory::recordCount(int block) const
{
    const QByteArray bytes = this->block(block);
    int count = 0;
    while (count < SimBlock::SlotsPerBlock && SimBlock::Record::read(bytes, count))
        ++count;
    return count;
}
