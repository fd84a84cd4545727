// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

class ProgramLauncher;

// Shows a downloaded dataset: in the graphing program that stands in this program's own
// folder when it is there, otherwise in the desktop's default program for plain text.
// The file's path is handed over as one argument, blanks and all.
namespace DatasetViewer {

// The graphing program's file name in the program's folder.
QString GraphingProgramName();

// Starts the viewer for `path`; on failure says why in `error`.
bool Show(ProgramLauncher &launcher, const QString &programFolder, const QString &path,
          QString &error);

} // namespace DatasetViewer
