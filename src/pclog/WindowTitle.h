// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

#include <functional>

// The logging window's title with the log file in it: "Vantlog " and the whole path when
// it fits in `room` (measured by `widthOf`), otherwise "Vantlog ..." and the longest end
// of the path that fits (at least its last character).
QString TitleWithFile(const QString &fileName, int room,
                      const std::function<int(const QString &)> &widthOf);
