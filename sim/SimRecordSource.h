// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "InstrumentState.h"
#include "SimBlockFormat.h"
#include "SimLoggerClock.h"
#include "SkyModel.h"

#include <QtGlobal>

// Where the logger's records come from: what the sensor saw over one averaging period.
class SimRecordSource
{
public:
    virtual ~SimRecordSource() = default;

    // The record stored at logger time `loggerSeconds`, the end of its averaging period,
    // in the units of `unitsCode`.
    virtual SimBlock::Record recordAt(qint64 loggerSeconds, int readingSeconds,
                                      int averagingSeconds, int unitsCode) const = 0;
    // The units the instrument measures in now.
    virtual int unitsCode() const = 0;
};

// Records from the simulated sky: the mean of readings spread over the averaging period
// (at most MaxSamples of them, so a long period costs no more than a short one) and the
// share of those readings that saw sunshine, scaled to the readings the record stands for.
class SkyRecordSource : public SimRecordSource
{
public:
    static constexpr int MaxSamples = 16;

    SkyRecordSource(const SkyModel &sky, const SimLoggerClock &clock, const InstrumentState &state)
        : m_sky(sky), m_clock(clock), m_state(state)
    {}

    SimBlock::Record recordAt(qint64 loggerSeconds, int readingSeconds, int averagingSeconds,
                              int unitsCode) const override;
    int unitsCode() const override { return static_cast<int>(m_state.units()); }

private:
    const SkyModel &m_sky;
    const SimLoggerClock &m_clock;
    const InstrumentState &m_state;
};
