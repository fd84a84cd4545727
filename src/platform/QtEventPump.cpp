// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/QtEventPump.h"

#include <QCoreApplication>

void QtEventPump::processEvents()
{
    QCoreApplication::processEvents();
}

void QtEventPump::processEventsExceptInput()
{
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}
