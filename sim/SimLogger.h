// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "InstrumentState.h"
#include "SimDataset.h"
#include "SimLoggerClock.h"
#include "SimLoggerCommands.h"
#include "SimMemory.h"
#include "SimPrefill.h"
#include "SimRecordSource.h"
#include "SimRecorder.h"
#include "SkyModel.h"

#include "platform/Clock.h"

#include <QByteArray>
#include <QList>

// How the logger is at power-on.
struct SimLoggerOptions
{
    int memoryBlocks = SimMemory::DefaultBlocks;
    // The logger's clock minus the computer's, in seconds.
    double clockOffsetSeconds = 0;
    // The memory's contents and whether logging is on. Without records and not logging:
    // an empty memory and a stopped logger.
    SimPrefillOptions prefill;
};

// The instrument's data logger: its memory ring, its clock, logging in real time and the
// packet commands that read and control it.
class SimLogger
{
public:
    SimLogger(const Clock &clock, const SkyModel &sky, const InstrumentState &state,
              const SimLoggerOptions &options = {});
    SimLogger(const SimLogger &) = delete;
    SimLogger &operator=(const SimLogger &) = delete;

    // Answers a request frame whose CRC has been checked.
    SimPacketAnswer answer(const QByteArray &frame) { return m_commands.answer(frame); }

    // Stores the records that have come due; every question to the logger does this
    // first, and so must a change of the instrument's units.
    void update() { m_recorder.catchUp(); }
    bool logging()
    {
        update();
        return m_recorder.logging();
    }

    // Refills the memory (see SimPrefill).
    void prefill(const SimPrefillOptions &options);
    // The dataset as the memory holds it now (after update()), with download sections.
    QList<SimLoggedRecord> datasetRecords();
    // The records after the download pointer (after update()).
    QList<SimLoggedRecord> newRecords();

    SimMemory &memory() { return m_memory; }
    SimRecorder &recorder() { return m_recorder; }
    SimLoggerClock &clock() { return m_clock; }
    const SimRecordSource &source() const { return m_source; }

private:
    const InstrumentState &m_state;
    SimLoggerClock m_clock;
    SimMemory m_memory;
    SkyRecordSource m_source;
    SimRecorder m_recorder;
    SimLoggerCommands m_commands;
};
