// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

#include <memory>
#include <vector>

class QCPRange;
class QCustomPlot;
class SeriesSet;

// Writes the plot out: as a picture (PNG, PDF) the size it is on the screen or a size
// given, or the records of the visible time range as comma-separated text.
namespace PlotExport {

// The title of a picture: the files' names and the range shown.
//   "june.txt, july.txt, 2026-06-01 00:00 to 2026-07-31 23:59"
QString PictureTitle(const std::vector<std::unique_ptr<SeriesSet>> &sets, const QCPRange &range);

// Width and height 0 take the plot's own size; `scale` multiplies the pixels of a PNG
// (2 for a print-quality picture of the same layout).
bool SavePng(QCustomPlot &plot, const QString &path, QString &error, int width = 0, int height = 0,
             double scale = 1.0);
bool SavePdf(QCustomPlot &plot, const QString &path, QString &error, int width = 0, int height = 0);

// For each file, a line naming it, a heading ("Time,Units,Total,Diffuse,Sun...") and one
// line per record from `from` to `to` (wall-clock keys), in the file's order, each with
// its own values (records with the same time each get their line): the time as written, as
// "yyyy-MM-dd HH:mm:ss", the section's units and the values with a decimal point, empty
// where there is none. Files are separated by an empty line.
QByteArray VisibleCsv(const std::vector<std::unique_ptr<SeriesSet>> &sets, double from, double to);
bool SaveVisibleCsv(const std::vector<std::unique_ptr<SeriesSet>> &sets, double from, double to,
                    const QString &path, QString &error);

} // namespace PlotExport
