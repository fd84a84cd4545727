// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/ProgramLauncher.h"

// Starts programs as detached processes and opens files through the desktop's own
// handler (xdg-open on Linux desktops).
class GuiProgramLauncher : public ProgramLauncher
{
public:
    bool startProgram(const QString &program, const QStringList &arguments,
                      QString &error) override;
    bool openFile(const QString &path, QString &error) override;
};
