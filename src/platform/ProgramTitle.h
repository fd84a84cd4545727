// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

// The program's name as its windows and message boxes show it in their title.
inline const QString ProgramTitle = QStringLiteral("Quorvel");
