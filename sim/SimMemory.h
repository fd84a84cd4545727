// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "SimBlockFormat.h"

#include <QByteArray>

// The logger's memory: a ring of 512-byte blocks, block n followed by block (n + 1) mod
// the block count. Erased memory reads as 0xFF, so an erased block has no valid header
// and no records. Blocks beyond the memory read as erased.
class SimMemory
{
public:
    static constexpr int DefaultBlocks = 1024;
    static constexpr int MaxBlocks = 65535;

    // The block count is held within 1..MaxBlocks (block numbers are 16 bits).
    explicit SimMemory(int blocks = DefaultBlocks);

    int blockCount() const { return m_blocks; }
    int next(int block) const { return (block + 1) % m_blocks; }
    bool contains(int block) const { return block >= 0 && block < m_blocks; }

    QByteArray block(int block) const;
    // `length` bytes from the start of `firstBlock` on, running into the blocks after it
    // round the ring.
    QByteArray read(int firstBlock, int length) const;

    void erase(int block);
    void eraseAll();
    void writeHeader(int block, const SimBlock::Header &header);
    void writeRecord(int block, int slot, const SimBlock::Record &record);
    // Writes raw bytes into a block (tests use it to plant damaged contents).
    void write(int block, int offset, const QByteArray &bytes);

    // Records before the first empty slot of a block.
    int recordCount(int block) const;

private:
    int m_blocks;
    QByteArray m_bytes;
};
