// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/LinkWait.h"

#include "link/SensorLink.h"

#include <QEventLoop>

void RunLinkUntil(SensorLink &link, const LinkEventRunner &runner,
                  const std::function<bool()> &done)
{
    if (runner) {
        runner(done);
        return;
    }
    // The requests' callbacks queue their next steps before the link falls idle: idle
    // with `done` still false means nothing more is coming.
    while (!done() && !link.requestsIdle()) {
        QEventLoop loop;
        link.whenRequestsIdle([&loop] { loop.quit(); });
        loop.exec();
    }
}
