// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Holds the link's busy flag for as long as it lives: raises the flag when made and gives
// back the state it found when it goes, whichever way the exchange returns. Giving back
// (rather than clearing) lets the handshake run inside an exchange that already holds the
// flag without dropping it.
class BusyFlagHold
{
public:
    explicit BusyFlagHold(bool &flag) : m_flag(flag), m_stateBefore(flag) { m_flag = true; }
    ~BusyFlagHold() { m_flag = m_stateBefore; }

    BusyFlagHold(const BusyFlagHold &) = delete;
    BusyFlagHold &operator=(const BusyFlagHold &) = delete;

private:
    bool &m_flag;
    const bool m_stateBefore;
};
