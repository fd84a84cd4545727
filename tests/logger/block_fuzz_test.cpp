// Random blocks, whole and truncated, thrown at the block decoder: it must never read
// outside the bytes, and what it reports must stay within a block's shape.
#include "logger/LoggerBlock.h"

#include <QRandomGenerator>

#include <gtest/gtest.h>

#include <cmath>

namespace {

// Bytes biased towards 0xFF so that empty slots and runs of them are common.
QByteArray randomBlock(QRandomGenerator &random, int size)
{
    QByteArray block(size, '\0');
    for (int i = 0; i < size; ++i)
        block[i] = random.bounded(3) == 0 ? static_cast<char>(0xFF)
                                          : static_cast<char>(random.bounded(256));
    // Often a tail of empty slots, as a block being filled has.
    if (size > 12 && random.bounded(2) == 0) {
        const int from = 12 + 4 * static_cast<int>(random.bounded((size - 12) / 4 + 1));
        for (int i = from; i < size; ++i)
            block[i] = static_cast<char>(0xFF);
    }
    return block;
}

TEST(BlockFuzzTest, RandomBlocksDecodeWithinTheBlocksShape)
{
    QRandomGenerator random(20260512);
    for (int round = 0; round < 20000; ++round) {
        const int size =
            round % 4 == 0 ? static_cast<int>(random.bounded(0, 600)) : LoggerBlock::Size;
        const QByteArray block = randomBlock(random, size);

        const auto scan = LoggerBlock::scanSlots(block);
        ASSERT_GE(scan.firstEmptyOffset, LoggerBlock::FirstSlotOffset);
        ASSERT_LE(scan.firstEmptyOffset, LoggerBlock::Size);
        ASSERT_EQ(scan.firstEmptyOffset % 4, 0);
        ASSERT_EQ(scan.filledSlots, (scan.firstEmptyOffset - 12) / 4);
        ASSERT_EQ(scan.lastFilledOffset, scan.filledSlots == 0 ? 0 : scan.firstEmptyOffset - 4);
        for (int offset = 12; offset < scan.firstEmptyOffset; offset += 4)
            ASSERT_FALSE(LoggerBlock::isEmptySlot(block, offset));
        if (scan.firstEmptyOffset < LoggerBlock::Size) {
            ASSERT_TRUE(LoggerBlock::isEmptySlot(block, scan.firstEmptyOffset));
        }

        const auto header = LoggerBlock::decodeHeader(block);
        ASSERT_EQ(header.has_value(), size >= LoggerBlock::HeaderSize);
        if (!header)
            continue;
        ASSERT_EQ(header->stamp.encode(), block.left(8));
        ASSERT_GE(header->intervalSeconds(), 0);
        ASSERT_LE(header->intervalSeconds(), 63 * 3600);
        ASSERT_TRUE(std::isfinite(header->stamp.toDays()));
        if (header->stamp.passesDownloadCheck()) {
            ASSERT_TRUE(header->stamp.passesDetailsCheck());
        }
    }
}

} // namespace
