// SPDX-License-Identifier: GPL-3.0-or-later
// How fast the dataset download moves blocks over a 9600-baud line, and what processor
// time it costs. The instrument is quorvel-sim on a pseudo-terminal, pacing bytes at
// 9600 baud with 11 bits each in both directions and taking 30 ms to answer each block
// request; the program reaches it through the real serial port.
//
//   download_bench [SIMULATOR] [--blocks N]
//
// The logger memory holds N blocks (default 256) and the whole memory is downloaded
// twice: with the next block asked for ahead, and one block at a time. A block and its
// acknowledgement are 523 bytes, about 0.60 s on the line: that is the line's limit. With
// requests ahead the download should reach at least 98 % of it, and use under 3 % of a
// core meanwhile.
#include "BenchLink.h"
#include "BenchSupport.h"
#include "link/SensorLink.h"
#include "logger/DatasetDownload.h"
#include "logger/LoggerDetailsReader.h"
#include "logger/LoggerPackets.h"

#include "SimulatorProcess.h"
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFileInfo>
#include <QTemporaryDir>

#include <cstdio>
#include <time.h>

namespace {

constexpr double BitsPerByte = 11;
constexpr double Baud = 9600;
// The acknowledgement frame (9 bytes), then 512 data bytes and their CRC.
constexpr int BytesPerBlock = 9 + 512 + 2;
constexpr double TargetPercentOfLimit = 98;
constexpr double TargetPercentOfCore = 3;
constexpr int BlockLatencyMs = 30;

double processCpuSeconds()
{
    timespec t{};
    ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

// Progress on the console, one line every 32 blocks.
class ConsoleView : public DownloadView
{
public:
    void ShowProgress(const QString &strInfo, float) override
    {
        if (strInfo.startsWith(QLatin1String("Data error")) || ++m_shown % 32 == 0) {
            std::printf("    %s\n", qPrintable(strInfo));
            std::fflush(stdout);
        }
    }
    bool cancelRequested() const override { return false; }
    void showStatus(const QString &text) override
    {
        std::printf("    status: %s\n", qPrintable(text));
    }

private:
    int m_shown = 0;
};

struct Run
{
    double seconds = 0;
    double cpuSeconds = 0;
    int blocks = 0;
    bool finished = false;
};

Run download(SensorLink &link, SystemClock &clock, const LoggerState &state, bool ahead,
             const QString &path)
{
    ConsoleView view;
    DatasetDownload transfer(link, clock);
    DownloadRequest request;
    request.bAll = true;
    request.bRequestAhead = ahead;
    request.strFile = path;
    QElapsedTimer wall;
    const double cpuStart = processCpuSeconds();
    wall.start();
    // The program's event loop runs the transfer, as the dialog's does.
    DownloadOutcome outcome;
    QEventLoop loop;
    if (transfer.start(state, false, request, view, [&](const DownloadOutcome &end) {
            outcome = end;
            loop.quit();
        }))
        loop.exec();
    Run run;
    run.seconds = static_cast<double>(wall.nsecsElapsed()) / 1e9;
    run.cpuSeconds = processCpuSeconds() - cpuStart;
    run.blocks = outcome.blocksRead;
    run.finished = outcome.end == DownloadOutcome::End::Finished;
    return run;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QString given;
    int blocks = 256;
    const QStringList args = app.arguments().mid(1);
    for (int i = 0; i < args.size(); ++i) {
        bool ok = true;
        if (args.at(i) == QLatin1String("--blocks") && i + 1 < args.size())
            blocks = args.at(++i).toInt(&ok);
        else if (!args.at(i).startsWith(QLatin1String("--")) && given.isEmpty())
            given = args.at(i);
        else
            ok = false;
        if (!ok || blocks < 2 || blocks > 65535) {
            std::fprintf(stderr, "download_bench: usage: download_bench [SIMULATOR] "
                                 "[--blocks N (2-65535)]\n");
            return 2;
        }
    }
    const QString program = SimulatorProcess::find(given);
    if (!QFileInfo(program).isExecutable()) {
        std::fprintf(stderr, "download_bench: no simulator program found (give its path, or "
                             "set QUORVEL_SIM)\n");
        return 2;
    }

    BenchLink bench("download_bench", program,
                    {"--model", "ZQ5", "--pace", "--block-latency-ms",
                     QString::number(BlockLatencyMs), "--memory-blocks", QString::number(blocks),
                     "--prefill-records", QString::number(blocks * 100)});
    if (!bench.started())
        return 2;
    SensorLink &link = bench.link;
    SystemClock &clock = bench.clock;
    const QString &device = bench.device;
    link.setCommPort(1);
    LoggerPackets packets(link);
    LoggerDetails details;
    LoggerDetailsReader reader(link, clock, packets);
    reader.read(
        [&details](const LoggerDetailsView &, const LoggerDetails &found) { details = found; });
    WaitForRequests(link);
    if (!details.known() || details.logger.value->MemoryBlocks != blocks) {
        std::fprintf(stderr, "download_bench: the logger on %s did not answer (%s)\n",
                     qPrintable(device), qPrintable(link.Status()));
        return 2;
    }
    const LoggerState &state = *details.logger.value;

    const double limit = BytesPerBlock * BitsPerByte / Baud;
    std::printf("download_bench: %d blocks from %s at 9600 baud, %d ms per block request; "
                "line limit %.4f s per block (%.3f blocks/s)\n",
                blocks, qPrintable(device), BlockLatencyMs, limit, 1 / limit);
    QTemporaryDir dir;
    bool pass = true;
    double aheadCpuPercent = 0;
    for (const bool ahead : {true, false}) {
        const char *name = ahead ? "request-ahead" : "one at a time";
        std::printf("  %s:\n", name);
        std::fflush(stdout);
        const Run run =
            download(link, clock, state, ahead, dir.filePath(ahead ? "ahead.txt" : "single.txt"));
        const double perBlock = run.seconds / std::max(1, run.blocks);
        const double percent = 100.0 * limit / perBlock;
        const bool ok =
            run.finished && run.blocks == blocks && (!ahead || percent >= TargetPercentOfLimit);
        pass = pass && ok;
        if (ahead)
            aheadCpuPercent = 100.0 * run.cpuSeconds / run.seconds;
        std::printf("download_bench: %s: %d blocks in %.1f s = %.4f s per block = %.3f "
                    "blocks/s = %.1f%% of the line's limit%s: %s\n",
                    name, run.blocks, run.seconds, perBlock, 1 / perBlock, percent,
                    ahead ? " (target >= 98%)" : "", ok ? "PASS" : (ahead ? "FAIL" : "INCOMPLETE"));
        std::fflush(stdout);
    }
    const bool cpuOk = aheadCpuPercent < TargetPercentOfCore;
    pass = pass && cpuOk;
    std::printf("download_bench: processor time during the request-ahead download: %.2f%% of "
                "one core (target < %.0f%%): %s\n",
                aheadCpuPercent, TargetPercentOfCore, cpuOk ? "PASS" : "FAIL");
    return pass ? 0 : 1;
}
