// SPDX-License-Identifier: GPL-3.0-or-later
#include "InstrumentState.h"

InstrumentState::InstrumentState(SimModel model)
    : InstrumentState(model, InstrumentIdentity::defaultFor(model))
{}

InstrumentState::InstrumentState(SimModel model, const InstrumentIdentity &identity)
    : m_traits(traitsOf(model)), m_identity(identity),
      m_units(m_traits.fixedUnits.value_or(SimUnits::Molar))
{}

bool InstrumentState::selectUnits(int code)
{
    if (code < 0 || code > 2)
        return false;
    const auto wanted = static_cast<SimUnits>(code);
    if (m_traits.fixedUnits && *m_traits.fixedUnits != wanted)
        return false;
    m_units = wanted;
    return true;
}

QByteArray InstrumentState::versionLine() const
{
    return m_identity.versionLine.isEmpty() ? m_traits.version : m_identity.versionLine;
}

QByteArray InstrumentState::unitsLine() const
{
    switch (m_units) {
    case SimUnits::Molar:
        return "Units: umol.m-2.s-1";
    case SimUnits::Energy:
        return "Units: W.m-2";
    case SimUnits::Illuminance:
        return "Units: klux";
    }
    return "Units: ?";
}

QByteArray InstrumentState::powerLine() const
{
    // The supply voltage leads the line, so the computer can read it as a number.
    return QByteArray::number(m_identity.powerMillivolts) + "mV Battery";
}

QByteArray InstrumentState::logStatusLine() const
{
    if (!m_traits.hasLogger)
        return QByteArray();
    return m_logging ? "Logging" : "Stopped";
}
