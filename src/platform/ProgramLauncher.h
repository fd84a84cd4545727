// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringList>

// Starting other programs, behind a seam so that tests can see what would have been
// started without starting anything.
class ProgramLauncher
{
public:
    virtual ~ProgramLauncher() = default;

    // Starts `program` with `arguments`, each handed over as one word whatever blanks it
    // holds, and does not wait for it. On failure says why in `error`.
    virtual bool startProgram(const QString &program, const QStringList &arguments,
                              QString &error) = 0;
    // Opens the file at `path` in the desktop's default program for its kind of file.
    virtual bool openFile(const QString &path, QString &error) = 0;
};
