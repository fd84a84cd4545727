// SPDX-License-Identifier: GPL-3.0-or-later
#include "LoggedInstrument.h"

#include "link/SensorLink.h"

LoggedInstrument LoggedInstrument::Of(const SensorLink &link)
{
    return {link.Version().section(QLatin1Char(' '), 0, 0), link.SerialNumber(), link.units()};
}

QString LoggedInstrument::text() const
{
    return model + QStringLiteral(" Ser No: ") + serialNumber + QStringLiteral(" (") + units +
           QLatin1Char(')');
}
