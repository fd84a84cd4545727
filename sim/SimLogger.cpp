// SPDX-License-Identifier: GPL-3.0-or-later
#include "SimLogger.h"

SimLogger::SimLogger(const Clock &clock, const SkyModel &sky, const InstrumentState &state,
                     const SimLoggerOptions &options)
    : m_state(state), m_clock(clock, options.clockOffsetSeconds), m_memory(options.memoryBlocks),
      m_source(sky, m_clock, state), m_recorder(m_memory, m_clock, m_source),
      m_commands(m_recorder, m_memory, m_clock, state)
{
    const SimPrefillOptions &prefill = options.prefill;
    if (prefill.records > 0 || prefill.logging || prefill.wrap || prefill.overwrite)
        this->prefill(prefill);
}

void SimLogger::prefill(const SimPrefillOptions &options)
{
    SimPrefill(m_recorder, m_memory, m_source, m_clock, !m_state.traits().fixedUnits.has_value())
        .run(options);
}

QList<SimLoggedRecord> SimLogger::datasetRecords()
{
    update();
    return SimDataset::dataset(m_memory, m_recorder.pointers());
}

QList<SimLoggedRecord> SimLogger::newRecords()
{
    update();
    return SimDataset::newRecords(m_memory, m_recorder.pointers());
}
