// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// What several benchmarks share: message boxes printed on the console, a year of dataset
// records written with the program's own DatasetFile, the peak resident memory, the
// processor time used, and save dialogs that choose nothing.

#include "common/DateTimeDays.h"
#include "link/SensorLink.h"
#include "logger/DatasetFile.h"
#include "platform/FileDialogs.h"
#include "platform/UserPrompts.h"

#include <QEventLoop>
#include <QFile>

#include <cmath>
#include <cstdio>
#include <ctime>
#include <functional>

// Message boxes as lines on standard error, counted; every question gets `answer`.
class PrintedPrompts : public UserPrompts
{
public:
    explicit PrintedPrompts(bool answer = false) : m_answer(answer) {}
    void message(const QString &title, const QString &text) override
    {
        ++shown;
        std::fprintf(stderr, "[%s] %s\n", qPrintable(title), qPrintable(text));
    }
    bool question(const QString &title, const QString &text) override
    {
        message(title, text);
        return m_answer;
    }
    bool confirm(const QString &title, const QString &text) override
    {
        message(title, text);
        return m_answer;
    }
    int shown = 0;

private:
    bool m_answer;
};

constexpr int BenchRecordSeconds = 30;

// A sunny day with passing clouds at `second` from the start: total and diffuse in W.m-2
// and the sun flag.
inline DatasetRecord::Values BenchWeather(qint64 second)
{
    const double hour = double(second % 86400) / 3600.0;
    const double day = double(second / 86400);
    const double height = std::sin(M_PI * (hour - 6.0) / 12.0);
    DatasetRecord::Values values;
    if (height <= 0)
        return values;
    const double season = 0.6 + 0.4 * std::sin(2 * M_PI * (day - 80) / 365.0);
    const bool cloud =
        std::sin(double(second) / 1700.0) + std::sin(day + double(second) / 530.0) > 1.1;
    const double clear = 1000.0 * season * height;
    values.total = float(cloud ? clear * 0.35 : clear);
    values.diffuse = float(cloud ? clear * 0.33 : clear * 0.15);
    values.sun = cloud ? 0.0f : 1.0f;
    return values;
}

// `days` of 30 s records from 1 January 2025 in one W.m-2 section, as a download writes
// them; false, with the reason in `error`, when the file cannot be written.
inline bool WriteBenchDataset(const QString &path, int days, QString &error)
{
    DatasetFile file;
    const QDateTime start(QDate(2025, 1, 1), QTime(0, 0));
    if (!file.create(path, QStringLiteral("ZQ5 v2.10"), QStringLiteral("123456"), start, error))
        return false;
    file.writeSection(QStringLiteral("Units: W.m-2"));
    const double startDays = DateTimeToDays(start);
    const qint64 records = qint64(days) * 86400 / BenchRecordSeconds;
    for (qint64 i = 0; i < records; ++i) {
        const qint64 second = i * BenchRecordSeconds;
        file.writeRecord(startDays + SecondsToDays(double(second)), BenchWeather(second),
                         QStringLiteral("0.0"));
        if (i % 20000 == 0 && !file.flush(error))
            return false;
    }
    const bool flushed = file.flush(error);
    file.close();
    return flushed;
}

// The most memory the process has held (VmHWM), in MB; -1 when it cannot be read.
inline double PeakResidentMegabytes()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').first().toDouble() / 1024.0;
    }
    return -1;
}

// The processor time this process has used, in seconds: on a busy machine the time that
// passes says more about the other processes than about this one.
inline double ProcessorSeconds()
{
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return double(now.tv_sec) + double(now.tv_nsec) / 1e9;
}

// Save dialogs that the user always cancels.
class NoFileDialogs : public FileDialogs
{
protected:
    SaveChoice askSaveFile(const QString &, const QString &, const QString &, const QString &,
                           const QString &) override
    {
        return {};
    }
};

// Runs an event loop until no request queued on the link runs or waits.
inline void WaitForRequests(SensorLink &link)
{
    if (link.requestsIdle())
        return;
    QEventLoop loop;
    link.whenRequestsIdle([&loop] { loop.quit(); });
    loop.exec();
}

// A request queued on the link, run to its end in an event loop: whether it succeeded.
inline bool RunRequest(SensorLink &link, const std::function<void(SensorLink::Reply)> &request)
{
    bool succeeded = false;
    request([&succeeded](bool ok) { succeeded = ok; });
    WaitForRequests(link);
    return succeeded;
}
