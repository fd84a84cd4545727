// SPDX-License-Identifier: GPL-3.0-or-later
// The frame assembler fed any bytes in reads of any size: it never keeps more than a
// frame's buffer, and what it calls a frame passes its CRC.
#include "link/Crc.h"
#include "link/FrameAssembler.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 1)
        return 0;
    // The first byte chooses the layout and the size of the reads.
    const auto layout =
        data[0] & 1 ? FrameAssembler::Layout::Packet : FrameAssembler::Layout::Acknowledgement;
    const size_t readSize = 1 + (data[0] >> 1);
    FrameAssembler assembler(layout);
    for (size_t from = 1; from < size; from += readSize) {
        const size_t count = std::min(readSize, size - from);
        assembler.feed(
            QByteArray(reinterpret_cast<const char *>(data + from), static_cast<qsizetype>(count)));
        if (assembler.bytes().size() > FrameAssembler::Capacity || assembler.partSize() < 0)
            std::abort();
    }
    if (assembler.status() == FrameAssembler::Status::Frame && CalcCrc(assembler.bytes()) != 0)
        std::abort();
    assembler.reason();
    assembler.gatheringHeader();
    return 0;
}
