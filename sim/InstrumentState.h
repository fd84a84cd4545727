// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "SimModel.h"

// Where the instrument's command interpreter stands.
enum class SimMode {
    Prompt, // at the command prompt (after "R")
    Test,   // in test mode (after "T", prompt "TEST:")
};

// What the instrument remembers between commands: its model and particulars, the mode
// it is in, the reading units in force and whether its logger is running.
class InstrumentState
{
public:
    explicit InstrumentState(SimModel model);
    InstrumentState(SimModel model, const InstrumentIdentity &identity);

    SimModel model() const { return m_traits.model; }
    const ModelTraits &traits() const { return m_traits; }
    const InstrumentIdentity &identity() const { return m_identity; }
    InstrumentIdentity &identity() { return m_identity; }

    SimMode mode() const { return m_mode; }
    void setMode(SimMode mode) { m_mode = mode; }

    SimUnits units() const { return m_units; }
    // Switches to units code 0, 1 or 2. A model with fixed units accepts only its own
    // code; any other code is refused and the units stay as they are.
    bool selectUnits(int code);

    bool logging() const { return m_logging; }
    void setLogging(bool on) { m_logging = on; }

    // The lines of the identification reply.
    QByteArray versionLine() const;
    QByteArray unitsLine() const;
    QByteArray powerLine() const;
    // Empty for a model without a logger (the computer reads a short status as "none").
    QByteArray logStatusLine() const;

private:
    const ModelTraits &m_traits;
    InstrumentIdentity m_identity;
    SimMode m_mode = SimMode::Prompt;
    SimUnits m_units;
    bool m_logging = false;
};
