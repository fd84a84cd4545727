// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "InstrumentState.h"
#include "SimLoggerClock.h"
#include "SimMemory.h"
#include "SimRecorder.h"

#include <QByteArray>
#include <QtGlobal>

// What the logger sends back for one request frame.
struct SimPacketAnswer
{
    QByteArray frame; // the reply frame; empty when the request gets no reply
    // For a large-data-block request: the raw bytes asked for, then their CRC (low byte
    // first), sent after the acknowledgement frame.
    QByteArray block;
    bool isBlockRequest = false;
};

// The logger's packet commands. Every reply is a frame with the request's command code
// and address; requests the logger does not know, or too short for their command, get
// no reply at all.
//
//  10 program          reply: reading code, 0, averaging code, 0, SunFS, flags, start
//                      block, download block, download address, top block (16 bits each)
//  11 start / stop     data: the program's first six bytes and the start time stamp
//  12 clock            reply: the logger's time stamp
//  13 set clock        data: a time stamp
//  14 logging status   reply: start time stamp, next record time stamp (zero while not
//                      logging), supply in mV (32 bits), offset of the last filled slot
//                      of the top block (32 bits, 0 when none)
//  15 memory size      reply: number of blocks (16 bits)
//  18 block start      address: block; data: byte count (16 bits); reply: that many
//                      bytes from the block's start (at most 254)
//  21 download pointer data: block, address (16 bits each)
//  22 large data block address: block; data: byte count (16 bits); reply: the
//                      acknowledgement (command 22, the address, the count), then the
//                      bytes (from the block on round the ring, at most 32767) and CRC
class SimLoggerCommands
{
public:
    enum Code : quint8 {
        Program = 10,
        StartStop = 11,
        Clock = 12,
        SetClock = 13,
        Status = 14,
        MemorySize = 15,
        BlockStart = 18,
        SetDownloadPointer = 21,
        LargeDataBlock = 22,
    };
    static constexpr int MaxBlockBytes = 32767;

    SimLoggerCommands(SimRecorder &recorder, SimMemory &memory, SimLoggerClock &clock,
                      const InstrumentState &state)
        : m_recorder(recorder), m_memory(memory), m_clock(clock), m_state(state)
    {}

    // Answers a request frame whose CRC has been checked.
    SimPacketAnswer answer(const QByteArray &frame);

private:
    QByteArray program() const;
    QByteArray status() const;
    void startOrStop(const QByteArray &data);
    void setClock(const QByteArray &data);

    SimRecorder &m_recorder;
    SimMemory &m_memory;
    SimLoggerClock &m_clock;
    const InstrumentState &m_state;
};
