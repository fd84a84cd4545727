// The graphing program's reading of data files: files made by the program's own dataset
// and log file writers come back as written, in four locales and both separators; bad
// files are refused or their bad lines listed, never crash or hang; gaps split the lines;
// the daily summary's numbers in each family of units across a local day boundary.
#include "LocaleGuard.h"

#include "common/DataFileText.h"
#include "common/DateTimeDays.h"
#include "common/TimeOfDay.h"
#include "link/InstrumentModel.h"
#include "logger/DatasetFile.h"
#include "pclog/LogFileHeader.h"
#include "pclog/LogFileWriter.h"
#include "pclog/PeriodLines.h"
#include "plot/DailySummary.h"
#include "plot/GapSplitter.h"
#include "plot/PlotFileReader.h"

#include <QBuffer>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cmath>

namespace {

const QDateTime Made(QDate(2026, 6, 14), QTime(17, 14, 8));

double epoch(const QDateTime &t)
{
    return double(t.toMSecsSinceEpoch()) / 1000.0;
}

struct Written
{
    QString units;
    int period;
    QVector<QVector<double>> rows; // Total, Diffuse, Sun, then sensors and temperature
};

// A row's values: the record's index spread over the columns, rounded as written.
QVector<double> rowValues(int i, int columns, bool klux)
{
    QVector<double> row{klux ? 12.34 + i : 512.3 + i, klux ? 1.05 : 87.5, i % 2 ? 1.0 : 0.5};
    for (int c = 3; c < columns; ++c)
        row << (c == columns - 1 ? -5.5 : 10.1 * c + i);
    return row;
}

void writeDataset(const QString &path, const QVector<Written> &sections, QDateTime start)
{
    DatasetFile file;
    QString error;
    ASSERT_TRUE(
        file.create(path, QStringLiteral("ZQ5 v1.03"), QStringLiteral("1234"), Made, error));
    for (const Written &section : sections) {
        file.writeSection(QStringLiteral("Units: ") + section.units);
        for (const QVector<double> &row : section.rows) {
            DatasetRecord::Values values;
            values.total = float(row[0]);
            values.diffuse = float(row[1]);
            values.sun = float(row[2]);
            file.writeRecord(DateTimeToDays(start), values,
                             AveragePattern(QStringLiteral("Units: ") + section.units));
            start = start.addSecs(section.period);
        }
        start = start.addSecs(3600);
    }
    ASSERT_TRUE(file.flush(error)) << error.toStdString();
}

void writeLog(const QString &path, const Written &section, const LogFileInfo &info, QDateTime t)
{
    LogFileWriter writer;
    QString error;
    ASSERT_TRUE(writer.create(path, error));
    const QChar separator = DataFileSeparator(path);
    for (const QString &line : LogFileHeader(info, Made, separator))
        ASSERT_TRUE(writer.writeLine(line, error));
    LineSettings settings;
    settings.fmt = AveragePattern(info.units);
    settings.individual = info.individual;
    settings.temperatureModel = IsTemperatureModel(info.version);
    for (const QVector<double> &row : section.rows) {
        // Two readings each, so that the sun's count gives a fraction of a half.
        ReadingSums sums;
        sums.ReadingCount = row.isEmpty() ? 0 : 2;
        const auto twice = [&row](int c) { return float(row[c]) * 2; };
        if (!row.isEmpty()) {
            sums.TotalSum = twice(0);
            sums.DiffuseSum = twice(1);
            sums.SunCount = qint16(std::lround(row[2] * 2));
            for (int c = 3; c < 11 && settings.individual; ++c)
                sums.IndividualSums[size_t(c - 3)] = twice(c);
            if (settings.temperatureModel)
                sums.ThermSum = twice(int(row.size()) - 1);
        }
        const float seconds = SecondsSinceMidnight(t);
        ASSERT_TRUE(
            writer.writeLine(FileLine(sums, t.date(), seconds, settings, separator), error));
        t = t.addSecs(section.period);
    }
}

} // namespace

TEST(PlotFileReaderTest, WhatTheWritersWroteIsRead)
{
    struct Case
    {
        QLocale locale;
        const char *name; // the file's name gives the separator
        const char *version;
        bool individual;
    };
    const Case cases[] = {
        {QLocale(QLocale::English, QLocale::UnitedKingdom), "data.txt", "ZQ5 v1.03", false},
        {QLocale(QLocale::German, QLocale::Germany), "data.csv", "ZQ5 v1.03", true},
        {QLocale(QLocale::English, QLocale::UnitedStates), "data.txt", "ZQ3 v1.00", true},
        {QLocale(QLocale::German, QLocale::Germany), "data.txt", "ZQ2 v1.00", false},
        {QLocale(QLocale::English, QLocale::UnitedKingdom), "data.csv", "ZQ2 v1.00", false},
        {QLocale::c(), "data.csv", "ZQ5 v1.03", true}, // "29 Mar 2026 00:59:40"
    };
    QTemporaryDir dir;
    for (const Case &c : cases) {
        SCOPED_TRACE(c.locale.name().toStdString() + " " + c.name + " " + c.version);
        const LocaleGuard locale(c.locale);
        const QString path = dir.filePath(QString::fromLatin1(c.name));
        const QDateTime start(QDate(2026, 12, 31), QTime(23, 58, 30));

        // A dataset: three sections of other units and periods, across a year's end.
        QVector<Written> sections{{QStringLiteral("W.m-2"), 30, {}},
                                  {QStringLiteral("klux"), 600, {}},
                                  {QStringLiteral("umol.m-2.s-1"), 60, {}}};
        for (Written &section : sections) {
            for (int i = 0; i < 5; ++i)
                section.rows << rowValues(i, 3, section.units == QLatin1String("klux"));
        }
        writeDataset(path, sections, start);
        PlotFile read = PlotFileReader::read(path);
        ASSERT_TRUE(read.ok()) << read.error.toStdString();
        EXPECT_EQ(read.kind, PlotFileKind::Dataset);
        EXPECT_EQ(read.header.size(), 2);
        EXPECT_EQ(read.badLineCount, 0);
        ASSERT_EQ(read.sections.size(), 3);
        QDateTime t = start;
        for (int s = 0; s < 3; ++s) {
            const PlotSection &got = read.sections[s];
            EXPECT_EQ(got.units, sections[s].units);
            EXPECT_EQ(got.periodSeconds, sections[s].period);
            EXPECT_EQ(got.columns, (QStringList{"Total", "Diffuse", "Sun"}));
            ASSERT_EQ(got.size(), 5);
            for (int i = 0; i < 5; ++i, t = t.addSecs(sections[s].period)) {
                EXPECT_EQ(got.time[i], epoch(t));
                for (int v = 0; v < 3; ++v)
                    EXPECT_NEAR(got.values[v][i], sections[s].rows[i][v], 1e-6) << s << i << v;
            }
            t = t.addSecs(3600);
        }

        // A log file, with or without the sensors, and the temperature unless a ZQ2's,
        // across the change to summer time.
        const QDateTime spring(QDate(2026, 3, 29), QTime(0, 59, 40));
        LogFileInfo info;
        info.version = QString::fromLatin1(c.version);
        info.serialNumber = QStringLiteral("77");
        info.units = c.individual ? QStringLiteral("Units: klux") : QStringLiteral("Units: W.m-2");
        info.individual = c.individual;
        const bool temperature = IsTemperatureModel(info.version);
        const int columns = 3 + (c.individual ? 8 : 0) + (temperature ? 1 : 0);
        Written log{QString(), 10, {}};
        for (int i = 0; i < 4; ++i)
            log.rows << rowValues(i, columns, c.individual);
        log.rows[2].clear(); // "bad readings"
        writeLog(path, log, info, spring);
        read = PlotFileReader::read(path);
        ASSERT_TRUE(read.ok()) << read.error.toStdString();
        EXPECT_EQ(read.kind, PlotFileKind::PcLog);
        EXPECT_EQ(read.header.size(), c.individual ? 4 : 3);
        EXPECT_EQ(read.badLineCount, 0);
        ASSERT_EQ(read.sections.size(), 1);
        const PlotSection &got = read.sections[0];
        EXPECT_EQ(got.units, c.individual ? "klux" : "W.m-2");
        EXPECT_EQ(got.periodSeconds, 10);
        ASSERT_EQ(got.columns.size(), columns);
        EXPECT_EQ(got.column("Temp"), temperature ? columns - 1 : -1);
        EXPECT_EQ(got.column("P7"), c.individual ? 10 : -1);
        ASSERT_EQ(got.size(), 4);
        for (int i = 0; i < 4; ++i) {
            EXPECT_EQ(got.time[i], epoch(spring.addSecs(10 * i)));
            for (int v = 0; v < columns; ++v) {
                if (log.rows[i].isEmpty())
                    EXPECT_TRUE(std::isnan(got.values[v][i]));
                else
                    EXPECT_NEAR(got.values[v][i], log.rows[i][v], 1e-6) << i << " " << v;
            }
        }
    }
}

TEST(PlotFileReaderTest, BadFilesAreRefusedOrTheirBadLinesListed)
{
    const QByteArray head = "ZQ5 Data file 14/06/2026 17:14:08\r\nZQ5 v1.03 Ser No: 1234\r\n"
                            "Reading Units: W.m-2\r\nTime\tTotal\tDiffuse\tSun\r\n";
    const QByteArray record = "14/06/2026 10:00:00\t512.3\t87.5\t1.0\r\n";
    const QByteArray longLine = QByteArray(10 << 20, 'x') + "\r\n";
    struct Case
    {
        const char *name;
        QByteArray bytes;
        const char *error; // empty when the file is read
        QVector<qint64> badLines;
        QStringList reasons;
        int records;
    };
    const Case cases[] = {
        {"not a format", "Hello\r\nworld\r\n", "line 1 could not be read (\"Hello\")", {}, {}, 0},
        {"no units line", head.left(59) + "Garbage\r\n", "line 3 could not", {}, {}, 0},
        {"no columns", head.left(81) + "Date\r\n", "line 4 could not", {}, {}, 0},
        {"header only", head.left(59), "ends before its column heading", {}, {}, 0},
        {"empty", "", "The file is empty.", {}, {}, 0},
        {"binary", QByteArray("\x00\xff\x13\x88ZQ\x00\n\x01", 9), "line 1 could not", {}, {}, 0},
        {"first line 10 MB", longLine + head, "line 1 is too long", {}, {}, 0},
        {"some bad lines",
         head + record + "14/06/2026 10:00:30\t1x\t87.5\t1.0\r\n" +
             "31/02/2026 10:01:00\t5\t6\t0\r\n" + record + "14/06/2026 10:01:30\t512.3\r\n" +
             longLine + "Reading Units: klux\r\n" + "Temp\r\n" + record,
         "",
         {6, 7, 9, 10, 12},
         {"Total not read", "time not read", "Diffuse missing", "line too long",
          "column heading expected"},
         3},
        {"no line end", head + record.chopped(2), "", {}, {}, 1},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        QBuffer buffer;
        buffer.setData(c.bytes);
        buffer.open(QIODevice::ReadOnly);
        const PlotFile file = PlotFileReader::read(buffer, c.bytes.size());
        EXPECT_TRUE(file.error.contains(QLatin1String(c.error))) << file.error.toStdString();
        EXPECT_EQ(file.ok(), !*c.error);
        QVector<qint64> lines;
        QStringList reasons;
        int records = 0;
        for (const BadLine &bad : file.badLines) {
            lines << bad.line;
            reasons << bad.reason;
        }
        for (const PlotSection &section : file.sections)
            records += int(section.size());
        EXPECT_EQ(lines, c.badLines);
        EXPECT_EQ(reasons, c.reasons);
        EXPECT_EQ(file.badLineCount, c.badLines.size());
        EXPECT_EQ(records, file.ok() ? c.records : records);
    }

    // Too large, gone, or cancelled: refused with a reason.
    QBuffer small;
    EXPECT_TRUE(PlotFileReader::read(small, qint64(2) << 30).error.contains("too large"));
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("gone.txt"));
    EXPECT_TRUE(PlotFileReader::read(path).error.contains("could not be opened"));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(head + record.repeated(40000));
    file.close();
    qint64 seen = 0;
    const PlotFile cancelled = PlotFileReader::read(path, [&seen](qint64 done, qint64 total) {
        seen = done;
        return done < total / 2;
    });
    EXPECT_TRUE(cancelled.cancelled);
    EXPECT_GT(seen, 0);
    EXPECT_FALSE(PlotFileReader::read(path, [](qint64, qint64) { return true; }).cancelled);
}

TEST(PlotSummaryTest, GapsAndDailySumsInEachUnitsFamily)
{
    // Records a minute apart around local midnight (BST, an hour off UTC), then a gap.
    const QDateTime t0(QDate(2026, 6, 14), QTime(23, 58));
    PlotSection section;
    section.periodSeconds = 60;
    section.columns = QStringList{"Total", "Diffuse", "Sun"};
    for (int minute : {0, 1, 2, 3, 12, 13})
        section.time << epoch(t0.addSecs(60 * minute));
    section.values = {{100, 200, 300, 400, 500, NAN}, {1, 1, 1, 1, 1, 1}, {1, 0, 1, 1, 0.5, 0}};

    const QVector<IndexRange> runs = ContinuousRuns(section);
    ASSERT_EQ(runs.size(), 2);
    EXPECT_EQ(runs[0].end, 4);
    EXPECT_EQ(runs[1].begin, 4);
    EXPECT_EQ(runs[1].end, 6);
    const BrokenSeries broken = WithBreaks(section.time, section.values[0], runs);
    ASSERT_EQ(broken.time.size(), 7);
    EXPECT_TRUE(std::isnan(broken.values[4]));
    EXPECT_EQ(broken.time[4], epoch(t0.addSecs(450)));
    EXPECT_EQ(broken.values[5], 500);

    struct Case
    {
        const char *units;
        const char *energyUnits;
        double dayOne; // (100 + 200) x 60 s
        double dayTwo; // (300 + 400 + 500) x 60 s
    };
    const Case cases[] = {{"W.m-2", "MJ.m-2", 0.018, 0.072},
                          {"umol.m-2.s-1", "mol.m-2", 0.018, 0.072},
                          {"klux", "klux.h", 5.0, 20.0}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.units);
        PlotFile file;
        section.units = QString::fromLatin1(c.units);
        file.sections = {section};
        const DailySummary summary(file);
        ASSERT_EQ(summary.days().size(), 2);
        const DailySummary::Day &one = summary.days()[0];
        const DailySummary::Day &two = summary.days()[1];
        EXPECT_EQ(one.date, QDate(2026, 6, 14));
        EXPECT_EQ(two.date, QDate(2026, 6, 15));
        EXPECT_EQ(one.energyUnits, c.energyUnits);
        EXPECT_NEAR(one.energy, c.dayOne, 1e-12);
        EXPECT_NEAR(two.energy, c.dayTwo, 1e-12);
        EXPECT_EQ(one.peak, 200);
        EXPECT_EQ(one.peakTime, epoch(t0.addSecs(60)));
        EXPECT_EQ(two.peak, 500);
        EXPECT_NEAR(one.sunshineHours, 1.0 / 60, 1e-12);
        EXPECT_NEAR(two.sunshineHours, 2.5 / 60, 1e-12);
        EXPECT_EQ(two.records, 4);
    }
    const LocaleGuard german(QLocale(QLocale::German, QLocale::Germany));
    EXPECT_EQ(DailySummary(PlotFile{PlotFileKind::PcLog, {}, {section}, {}, 0, {}, false})
                  .toTabSeparatedText(),
              "Date\tEnergy\tEnergy units\tPeak total\tUnits\tPeak time\tSunshine (h)\n"
              "2026-06-14\t5,000\tklux.h\t200,00\tklux\t23:59:00\t0,02\n"
              "2026-06-15\t20,000\tklux.h\t500,00\tklux\t00:10:00\t0,04\n");
}
