// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/DisplayCheck.h"

#include <cstdio>

bool DisplayAvailable(const QProcessEnvironment &environment)
{
#if defined(Q_OS_UNIX) && !defined(Q_OS_DARWIN) && !defined(Q_OS_ANDROID)
    for (const char *name : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"}) {
        if (!environment.value(QLatin1String(name)).isEmpty())
            return true;
    }
    return false;
#else
    Q_UNUSED(environment);
    return true;
#endif
}

bool CheckDisplay()
{
    if (DisplayAvailable(QProcessEnvironment::systemEnvironment()))
        return true;
    std::fprintf(stderr, "%s\n", NoDisplayMessage);
    return false;
}
