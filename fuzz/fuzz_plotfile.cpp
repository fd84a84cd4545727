// SPDX-License-Identifier: GPL-3.0-or-later
// The graphing program's file reader on any bytes, alone and after a valid header and
// column line so that the records are reached; then the gaps and the daily summary of
// whatever was read. Every series must be as long as its times.
#include "plot/DailySummary.h"
#include "plot/GapSplitter.h"
#include "plot/PlotFileReader.h"

#include <QBuffer>

#include <cstdint>
#include <cstdlib>

namespace {

void readAndSummarise(const QByteArray &bytes)
{
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    const PlotFile file = PlotFileReader::read(buffer, bytes.size());
    if (file.badLineCount < file.badLines.size())
        std::abort();
    for (const PlotSection &section : file.sections) {
        for (const QVector<double> &series : section.values) {
            if (series.size() != section.time.size())
                std::abort();
        }
        qsizetype covered = 0;
        for (const IndexRange &run : ContinuousRuns(section))
            covered += run.end - run.begin;
        if (covered != section.size())
            std::abort();
    }
    DailySummary(file).toTabSeparatedText();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
    readAndSummarise(bytes);
    readAndSummarise(QByteArrayLiteral("ZQ5 Logger Data file 14/06/2026 17:14:08\r\n"
                                       "ZQ5 v1.03 Ser No: 1234\r\nReading Units: W.m-2\r\n"
                                       "Time,Total,Diffuse,Sun,Temp\r\n") +
                     bytes);
    return 0;
}
