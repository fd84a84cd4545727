// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/Journal.h"

#include "cli/JsonContract.h"
#include "platform/Clock.h"

void Journal::event(const QString &text)
{
    if (m_verbosity > 0)
        write(text);
}

void Journal::exchange(const QString &text)
{
    if (m_verbosity > 1)
        write(text);
}

void Journal::error(const QString &text)
{
    write(text);
}

void Journal::write(const QString &text)
{
    m_err << "quorvel-cli: " << JsonContract::IsoTime(m_clock.now()) << ' ' << text << Qt::endl;
}
