#pragma once

#include <QString>

#include <memory>
#include <vector>

class QCustomPlot;
class SeriesSet;

// Writes the plot out: as a picture (PNG, PDF) the size it is on the screen, or the
// records of the visible time range as comma-separated text.
namespace PlotExport {

bool SavePng(QCustomPlot &plot, const QString &path, QString &error);
bool SavePdf(QCustomPlot &plot, const QString &path, QString &error);

// For each file, a line naming it, a heading ("Time,Total,Diffuse,Sun...") and one line
// per record from `from` to `to` (seconds since the epoch): the local time as
// "yyyy-MM-dd HH:mm:ss" and the values with a decimal point, empty where there is none.
// Files are separated by an empty line.
bool SaveVisibleCsv(const std::vector<std::unique_ptr<SeriesSet>> &sets, double from, double to,
                    const QString &path, QString &error);

} // namespace PlotExport
