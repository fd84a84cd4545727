// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "plot/PlotFile.h"
#include "plot/TimeFormatChooser.h"

#include <QIODevice>
#include <QString>

#include <functional>

// Reads a dataset file or a PC log file for the graphing program.
//
// The first line names the kind ("... Logger Data file ..." for a PC log, "... Data file
// ..." for a dataset), the second holds the version and serial number. A dataset then
// has sections, each a units line ("Reading Units: W.m-2") and a column line ("Time",
// "Total", "Diffuse", "Sun"); a PC log has its units line, the calibration values with
// individual sensors, and one column line (with "P0".."P7" and "Temp" when present).
// Fields are separated by tabs or commas (seen in the column line); numbers have a
// decimal point (a decimal comma, or the Arabic U+066B, is read too); the time field is
// read as the writers write it in any locale (plot/DateTimeField.h), learnt from the first
// records (plot/TimeFormatLearner.h). When those cannot tell between readings, `chooser`
// is asked once; without one, or when it chooses none, the read fails naming them. Text is
// UTF-8.
//
// Within a section time goes forward: a record whose time repeats or goes back (a clock
// set back, records downloaded twice) starts a new section, and the first such line is
// kept (PlotFile::firstTimeBack).
//
// Until the first column line every line must fit, or the file is refused with an error
// naming the first line that did not. After it, a line that cannot be read is skipped and
// listed with its number; a line of "bad readings" is a record whose values are NaN.
//
// Any file is safe to give: lines longer than MaxLineLength are skipped unread, files
// larger than MaxFileSize are refused, a failing device ends the reading with an error,
// and the progress callback, called now and then, can cancel it.
class PlotFileReader
{
public:
    static constexpr qint64 MaxFileSize = qint64(8) << 30;
    static constexpr qsizetype MaxLineLength = 64 * 1024;

    // Called with the bytes read so far and the total (0 when unknown); false cancels.
    using Progress = std::function<bool(qint64 done, qint64 total)>;

    static PlotFile read(const QString &path, const Progress &progress = {},
                         TimeFormatChooser *chooser = nullptr);
    static PlotFile read(QIODevice &device, qint64 totalBytes, const Progress &progress = {},
                         TimeFormatChooser *chooser = nullptr);
};
