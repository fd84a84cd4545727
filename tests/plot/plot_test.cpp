// SPDX-License-Identifier: GPL-3.0-or-later
// The graphing program's reading of data files: files made by the program's own dataset
// and log file writers come back as written, in four locales and both separators; bad
// files are refused or their bad lines listed, never crash or hang; gaps split the lines;
// the daily summary's numbers in each family of units across a local day boundary.
#include "LocaleGuard.h"

#include "common/DataFileText.h"
#include "common/DateTimeDays.h"
#include "link/InstrumentModel.h"
#include "logger/DatasetFile.h"
#include "pclog/LogFileHeader.h"
#include "pclog/LogFileWriter.h"
#include "pclog/PeriodLines.h"
#include "pclog/ReadingSums.h"
#include "plot/DailySummary.h"
#include "plot/DateTimeField.h"
#include "plot/FieldText.h"
#include "plot/GapSplitter.h"
#include "plot/PlotFileReader.h"

#include <QBuffer>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <ctime>
#include <tuple>

namespace {

const QDateTime Made(QDate(2026, 6, 14), QTime(17, 14, 8));

// The wall-clock seconds of a local date-time, as the reader gives a file's times.
double epoch(const QDateTime &t)
{
    return double(QDateTime(t.date(), t.time(), Qt::UTC).toMSecsSinceEpoch()) / 1000.0;
}

// Record i of a section as written: Total and Diffuse (two decimals in klux), the sun's
// fraction, then the sensors and the temperature when there are more columns.
QVector<double> rowValues(int i, int columns, bool klux)
{
    QVector<double> row{klux ? 12.34 + i : 512.3 + i, klux ? 1.05 : 87.5, i % 2 ? 1.0 : 0.5};
    for (int c = 3; c < columns; ++c)
        row << (c == columns - 1 ? -5.5 : 10.1 * c + i);
    return row;
}

// Sections of five records each, an hour apart.
void writeDataset(const QString &path, const QVector<std::pair<QString, int>> &sections,
                  QDateTime t)
{
    DatasetFile file;
    QString error;
    ASSERT_TRUE(file.create(path, "ZQ5 v1.03", "1234", Made, error));
    for (const auto &[units, period] : sections) {
        file.writeSection(QStringLiteral("Units: ") + units);
        for (int i = 0; i < 5; ++i, t = t.addSecs(period)) {
            const QVector<double> row = rowValues(i, 3, units == QLatin1String("klux"));
            const DatasetRecord::Values values{
                0, 0, 0, float(row[0]), float(row[1]), float(row[2])};
            file.writeRecord(DateTimeToDays(t), values, AveragePattern(units));
        }
        t = t.addSecs(3600);
    }
    ASSERT_TRUE(file.flush(error)) << error.toStdString();
}

// Four lines 10 s apart, the third of "bad readings", each the average of two readings.
void writeLog(const QString &path, const LogFileInfo &info, const LineSettings &settings,
              int columns, QDateTime t)
{
    LogFileWriter writer;
    QString error;
    ASSERT_TRUE(writer.create(path, error));
    const QChar separator = DataFileSeparator(path);
    for (const QString &line : LogFileHeader(info, Made, separator))
        ASSERT_TRUE(writer.writeLine(line, error));
    for (int i = 0; i < 4; ++i, t = t.addSecs(10)) {
        const QVector<double> row = rowValues(i, columns, settings.individual);
        const auto twice = [&row](int c) { return float(row[c]) * 2; };
        ReadingSums sums{{}, twice(0), twice(1), qint16(row[2] * 2), twice(columns - 1), 0, 2, 2};
        for (int c = 3; c < 11 && settings.individual; ++c)
            sums.IndividualSums[size_t(c - 3)] = twice(c);
        if (i == 2)
            sums.ReadingCount = 0;
        ASSERT_TRUE(writer.writeLine(FileLine(sums, t, settings, separator), error));
    }
}

// A section read against its records written from `t` on; record `bad` said "bad readings".
void expectSection(const PlotSection &got, const QString &units, int period, int columns,
                   int records, QDateTime t, int bad = -1)
{
    EXPECT_EQ(got.units, units);
    EXPECT_EQ(got.periodSeconds, period);
    ASSERT_EQ(got.columns.size(), columns);
    EXPECT_EQ(got.columns.mid(0, 3), (QStringList{"Total", "Diffuse", "Sun"}));
    ASSERT_EQ(got.size(), records);
    for (int i = 0; i < records; ++i, t = t.addSecs(period)) {
        EXPECT_EQ(got.timeAt(i), epoch(t)) << i;
        const QVector<double> row = rowValues(i, columns, units == QLatin1String("klux"));
        for (int v = 0; v < columns; ++v) {
            const double value = got.valueAt(v, i);
            EXPECT_TRUE(i == bad ? std::isnan(value) : std::fabs(value - row[v]) < 1e-4)
                << i << " " << v << " " << value;
        }
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
        {QLocale(QLocale::English, QLocale::Australia), "data.txt", "ZQ5 v1.03", true},
        {QLocale(QLocale::French, QLocale::France), "data.csv", "ZQ5 v1.03", false},
        {QLocale(QLocale::Japanese, QLocale::Japan), "data.txt", "ZQ5 v1.03", true},
        {QLocale(QLocale::Chinese, QLocale::China), "data.csv", "ZQ5 v1.03", false},
        {QLocale(QLocale::Korean, QLocale::SouthKorea), "data.txt", "ZQ5 v1.03", true},
        {QLocale(QLocale::Arabic, QLocale::Egypt), "data.txt", "ZQ5 v1.03", true},
        {QLocale(QLocale::Arabic, QLocale::Egypt), "data.csv", "ZQ2 v1.00", false},
        {QLocale(QLocale::Turkish, QLocale::Turkey), "data.txt", "ZQ5 v1.03", false},
        {QLocale(QLocale::Russian, QLocale::Russia), "data.csv", "ZQ5 v1.03", true},
    };
    QTemporaryDir dir;
    for (const Case &c : cases) {
        const QString path = dir.filePath(QString::fromLatin1(c.name));
        // A dataset: three sections of other units and periods, across a year's end; a log
        // file, with or without the sensors, and the temperature unless a ZQ2's, across the
        // change to summer time.
        const QVector<std::pair<QString, int>> sections{
            {"W.m-2", 30}, {"klux", 600}, {"umol.m-2.s-1", 60}};
        const QDateTime newYear(QDate(2026, 12, 31), QTime(23, 58, 30));
        const QString logPath = dir.filePath(QStringLiteral("log-") + c.name);
        LogFileInfo info{
            c.version, "77", c.individual ? "Units: klux" : "Units: W.m-2", c.individual, {}};
        const LineSettings settings{AveragePattern(info.units), c.individual,
                                    IsTemperatureModel(info.version), false};
        const int columns = 3 + (c.individual ? 8 : 0) + (settings.temperatureModel ? 1 : 0);
        const QDateTime spring(QDate(2026, 3, 29), QTime(0, 59, 40));
        {
            const LocaleGuard written(c.locale);
            writeDataset(path, sections, newYear);
            writeLog(logPath, info, settings, columns, spring);
        }
        for (const QLocale &reading :
             {QLocale(QLocale::English, QLocale::UnitedStates), QLocale::c()}) {
            SCOPED_TRACE(c.locale.name().toStdString() + " " + c.name + " " + c.version +
                         " read in " + reading.name().toStdString());
            const LocaleGuard locale(reading);
            PlotFile read = PlotFileReader::read(path);
            ASSERT_TRUE(read.ok()) << read.error.toStdString();
            EXPECT_EQ(read.kind, PlotFileKind::Dataset);
            EXPECT_EQ(read.header.size(), 2);
            EXPECT_EQ(read.badLineCount, 0);
            ASSERT_EQ(read.sections.size(), 3);
            QDateTime t = newYear;
            for (int s = 0; s < 3; ++s) {
                expectSection(read.sections[s], sections[s].first, sections[s].second, 3, 5, t);
                EXPECT_EQ(read.sections[s].decimals.value(0), s == 1 ? 2 : 1);
                t = t.addSecs(5 * sections[s].second + 3600);
            }

            read = PlotFileReader::read(logPath);
            ASSERT_TRUE(read.ok()) << read.error.toStdString();
            EXPECT_EQ(read.kind, PlotFileKind::PcLog);
            EXPECT_EQ(read.header.size(), c.individual ? 4 : 3);
            EXPECT_EQ(read.badLineCount, 0);
            ASSERT_EQ(read.sections.size(), 1);
            expectSection(read.sections[0], c.individual ? "klux" : "W.m-2", 10, columns, 4, spring,
                          2);
            EXPECT_EQ(read.sections[0].column("Temp"),
                      settings.temperatureModel ? columns - 1 : -1);
            EXPECT_EQ(read.sections[0].column("P7"), c.individual ? 10 : -1);
        }
    }
}

// Every locale Qt knows: the lines of both writers, hourly across two midnights (with
// 12 AM and 12 PM), are read back under en_US with every time exact.
TEST(PlotFileReaderTest, EveryLocalesLinesAreReadBack)
{
    const QDateTime start(QDate(2026, 3, 9), QTime(20, 0));
    const DatasetRecord::Values values{0, 0, 0, 12.34f, 1.05f, 0.5f};
    ReadingSums sums{};
    sums.TotalSum = 12.34f;
    sums.DiffuseSum = 1.05f;
    sums.ReadingCount = 1;
    const LineSettings settings{QStringLiteral("0.00"), false, false, false};
    for (const QLocale &locale : QLocale::matchingLocales(QLocale::AnyLanguage, QLocale::AnyScript,
                                                          QLocale::AnyTerritory)) {
        SCOPED_TRACE(locale.name().toStdString());
        QStringList dataset;
        QStringList log;
        {
            const LocaleGuard written(locale);
            dataset << DataFileFirstLine("ZQ5 ", "Data file ", Made)
                    << DataFileSecondLine("ZQ5 v1.03", "1234") << DataFileUnitsLine("Units: klux")
                    << DataFileColumns().join('\t');
            log = LogFileHeader({"ZQ2 v1.00", "77", "Units: klux", false, {}}, Made, ',');
            for (int i = 0; i < 40; ++i) {
                const QDateTime t = start.addSecs(3600 * i);
                dataset << DatasetFile::RecordLine('\t', DateTimeToDays(t), values, "0.00");
                log << FileLine(sums, t, settings, ',');
            }
        }
        const LocaleGuard reading(QLocale(QLocale::English, QLocale::UnitedStates));
        for (const QStringList &lines : {dataset, log}) {
            QByteArray bytes = lines.join("\r\n").toUtf8();
            QBuffer buffer(&bytes);
            buffer.open(QIODevice::ReadOnly);
            const PlotFile file = PlotFileReader::read(buffer, bytes.size());
            ASSERT_TRUE(file.ok()) << file.error.toStdString() << lines.value(5).toStdString();
            ASSERT_EQ(file.sections.size(), 1)
                << lines.join('\n').toStdString() << file.badLines.value(0).reason.toStdString();
            const PlotSection &section = file.sections[0];
            ASSERT_EQ(section.size(), 40) << lines.value(5).toStdString();
            EXPECT_EQ(section.timeAt(39), epoch(start.addSecs(3600 * 39)))
                << lines.last().toStdString() << " " << file.timePattern.toStdString();
            EXPECT_EQ(section.periodSeconds, 3600);
            EXPECT_FLOAT_EQ(section.valueAt(0, 0), 12.34f);
            EXPECT_EQ(section.decimals[0], 2);
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
        const char *error;    // empty when the file is read
        QStringList badLines; // number and reason
        int records;
    };
    const Case cases[] = {
        {"not a format", "Hello\r\nworld\r\n", "line 1 could not be read (\"Hello\")", {}, 0},
        {"no units line", head.left(59) + "Garbage\r\n", "line 3 could not", {}, 0},
        {"no columns", head.left(81) + "Date\r\n", "line 4 could not", {}, 0},
        {"header only", head.left(59), "ends before its column heading", {}, 0},
        {"empty", "", "The file is empty.", {}, 0},
        {"binary", QByteArray("\x00\xff\x13\x88ZQ\x00\n\x01", 9), "line 1 could not", {}, 0},
        {"first line 10 MB", longLine + head, "line 1 is too long", {}, 0},
        {"some bad lines",
         head + record + "14/06/2026 10:00:30\t1x\t87.5\t1.0\r\n" +
             "31/02/2026 10:01:00\t5\t6\t0\r\n" + record + "14/06/2026 10:01:30\t512.3\r\n" +
             longLine + "Reading Units: klux\r\n" + "Temp\r\n" + record,
         "",
         {"6 Total not read", "7 time not read", "9 Diffuse missing", "10 line too long",
          "12 column heading expected"},
         3},
        {"no line end", head + record.chopped(2), "", {}, 1},
        {"a last line ending in CR", head + record.chopped(1), "", {}, 1},
        {"thirty-two columns",
         head.left(59) + "Reading Units: klux\r\nTime" + QByteArray("\tP").repeated(32) +
             "\r\n14/06/2026 10:00:00" + QByteArray("\t1").repeated(32) + "\r\n",
         "",
         {},
         1},
        {"thirty-three columns",
         head.left(59) + "Reading Units: klux\r\nTime" + QByteArray("\tP").repeated(33) +
             "\r\n14/06/2026 10:00:00" + QByteArray("\t1").repeated(33) + "\r\n",
         "",
         {"5 too many columns"},
         0},
        {"units not named",
         head.left(59) + "Reading \r\nTime\tTotal\r\n14/06/2026 10:00:00\t5\r\n",
         "",
         {},
         1},
        {"a line just short enough",
         head + QByteArray(64 * 1024, 'x') + "\r\n" + record,
         "",
         {"5 time not read"},
         1},
        {"no known time format",
         head + "yesterday noon\t1\t2\t3\r\ntoday\t1\t2\t3\r\n",
         "line 5 has \"yesterday noon\"",
         {},
         0},
        // An empty field (no temperature read in a period) is a value not measured.
        {"a value not measured", head + "14/06/2026 10:00:00\t512.3\t\t1.0\r\n", "", {}, 1},
        {"a field after the last column",
         head + "14/06/2026 10:00:00\t512.3\t87.5\t1.0\tnote\r\n",
         "",
         {},
         1},
        {"numbers not as written",
         head + "14/06/2026 10:00:00\t1.2.3\t1\t1\r\n14/06/2026 10:00:01\t1e3\t1\t1\r\n" +
             "14/06/2026 10:00:02\t+5\t1\t1\r\n14/06/2026 10:00:03\t-\t1\t1\r\n" +
             "14/06/2026 10:00:04\tNaNa\t1\t1\r\n14/06/2026 10:00:05\t1\t1\t1\r\n",
         "",
         {"5 Total not read", "6 Total not read", "7 Total not read", "8 Total not read",
          "9 Total not read"},
         1},
        // A clock stuck on one time: a section a record, up to ten thousand.
        {"a stuck clock",
         head + record.repeated(10002),
         "",
         {"10005 time repeated or went back", "10006 time repeated or went back"},
         10000},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        QBuffer buffer;
        buffer.setData(c.bytes);
        buffer.open(QIODevice::ReadOnly);
        const PlotFile file = PlotFileReader::read(buffer, c.bytes.size());
        EXPECT_TRUE(file.error.contains(QLatin1String(c.error))) << file.error.toStdString();
        EXPECT_EQ(file.ok(), !*c.error);
        QStringList bad;
        for (const BadLine &line : file.badLines)
            bad << QStringLiteral("%1 %2").arg(line.line).arg(line.reason);
        EXPECT_EQ(bad, c.badLines);
        EXPECT_EQ(file.badLineCount, c.badLines.size());
        int records = 0;
        for (const PlotSection &section : file.sections)
            records += int(section.size());
        EXPECT_EQ(records, file.ok() ? c.records : records);
    }

    // Lines ended by LF alone (a file passed through a tool that drops CR) read as those
    // ended by CR LF, to the last character of the last column.
    const auto readBytes = [](QByteArray bytes) {
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::ReadOnly);
        return PlotFileReader::read(buffer, bytes.size());
    };
    const PlotFile crlf = readBytes(head + record);
    const PlotFile lf = readBytes(QByteArray(head + record).replace("\r\n", "\n"));
    ASSERT_TRUE(lf.ok() && crlf.ok()) << lf.error.toStdString();
    EXPECT_EQ(lf.sections[0].units + lf.sections[0].columns.join(','), "W.m-2Total,Diffuse,Sun");
    EXPECT_EQ(lf.sections[0].decimals, crlf.sections[0].decimals);
    EXPECT_EQ(lf.sections[0].values, crlf.sections[0].values);

    // Too large, gone, or cancelled: refused with a reason.
    QBuffer small;
    EXPECT_TRUE(PlotFileReader::read(small, (qint64(8) << 30) + 1).error.contains("too large"));
    EXPECT_TRUE(PlotFileReader::read(small, 10).error.contains("Reading stopped after line 0"));
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("gone.txt"));
    EXPECT_TRUE(PlotFileReader::read(path).error.contains("could not be opened"));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(head);
    for (int i = 0; i < 40000; ++i) {
        const QDateTime t = QDateTime(QDate(2026, 6, 14), QTime(10, 0)).addSecs(30 * i);
        file.write(t.toString("dd/MM/yyyy HH:mm:ss").toLatin1() + "\t512.3\t87.5\t1.0\r\n");
    }
    file.close();
    qint64 seen = 0;
    const PlotFile cancelled = PlotFileReader::read(path, [&seen](qint64 done, qint64 total) {
        seen = done;
        return done < total / 2;
    });
    EXPECT_TRUE(cancelled.cancelled && seen > 0);
    // Lines across the reader's 1 MiB chunks.
    const PlotFile whole = PlotFileReader::read(path, [](qint64, qint64) { return true; });
    EXPECT_EQ(whole.sections.value(0).size(), 40000);
}

namespace {

// Answers the question of the time format with the candidate of a pattern, or none.
class ScriptedChooser : public TimeFormatChooser
{
public:
    explicit ScriptedChooser(const QString &answer) : m_answer(answer) {}
    int choose(const TimeFormatQuestion &asking) override
    {
        ++asked;
        question = asking;
        for (int i = 0; i < asking.candidates.size(); ++i) {
            if (asking.candidates[i].pattern == m_answer)
                return i;
        }
        return -1;
    }
    int asked = 0;
    TimeFormatQuestion question;

private:
    QString m_answer;
};

// A PC log's text in the default locale: records of Total `values[i]` (klux, sun 1.0).
QByteArray logText(const QVector<QDateTime> &times, const QVector<double> &values = {})
{
    QStringList lines = LogFileHeader({"ZQ2 v1.00", "77", "Units: klux", false, {}}, Made, '\t');
    const LineSettings settings{QStringLiteral("0.00"), false, false, false};
    for (int i = 0; i < times.size(); ++i) {
        ReadingSums sums{};
        sums.TotalSum = float(values.value(i, 1.0));
        sums.SunCount = 1;
        sums.ReadingCount = 1;
        lines << FileLine(sums, times[i], settings, '\t');
    }
    return lines.join("\r\n").toUtf8() + "\r\n";
}

// The same as a dataset, as a download writes a logger's record (its clock's date-times).
QByteArray datasetText(const QVector<QDateTime> &times, const QVector<double> &values)
{
    QStringList lines{DataFileFirstLine("ZQ5 ", "Data file ", Made),
                      DataFileSecondLine("ZQ5 v1.03", "1234"), DataFileUnitsLine("Units: klux"),
                      DataFileColumns().join('\t')};
    for (int i = 0; i < times.size(); ++i) {
        const DatasetRecord::Values record{0, 0, 0, float(values.value(i, 1.0)), 0, 1};
        lines << DatasetFile::RecordLine('\t', DateTimeToDays(times[i]), record, "0.00");
    }
    return lines.join("\r\n").toUtf8() + "\r\n";
}

// `count` date-times `step` seconds apart from `start`, as a clock shows them.
QVector<QDateTime> every(const QDateTime &start, int count, int step)
{
    QVector<QDateTime> times;
    for (int i = 0; i < count; ++i)
        times << QDateTime(start.date(), start.time(), Qt::UTC).addSecs(qint64(i) * step);
    return times;
}

PlotFile readText(QByteArray bytes, TimeFormatChooser *chooser = nullptr)
{
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    return PlotFileReader::read(buffer, bytes.size(), {}, chooser);
}

// Sets TZ for the life of a test.
class TimeZoneGuard
{
public:
    explicit TimeZoneGuard(const char *zone)
        : m_saved(qgetenv("TZ")), m_had(qEnvironmentVariableIsSet("TZ"))
    {
        qputenv("TZ", zone);
        tzset();
    }
    ~TimeZoneGuard()
    {
        if (m_had)
            qputenv("TZ", m_saved);
        else
            qunsetenv("TZ");
        tzset();
    }

private:
    QByteArray m_saved;
    bool m_had;
};

} // namespace

TEST(PlotFileReaderTest, AnAmbiguousFileAsksOnce)
{
    // en_AU writes 1 December as 1/12/26, which en_US reads as 12 January.
    const QDateTime december(QDate(2026, 12, 1), QTime(10, 0));
    const QString dayFirst = "d/M/yy h:mm:ss AP";
    const QString monthFirst = "M/d/yy h:mm:ss AP";
    struct Case
    {
        const char *name;
        QVector<QDateTime> times;
        const char *answer; // the pattern chosen; "" none; nullptr no chooser
        bool asked;
        QDate read;        // the first record's date, or invalid
        const char *error; // when not read
    };
    const QVector<QDateTime> day = every(december, 12, 3600);
    const Case cases[] = {
        {"a day, day first chosen", day, "d/M/yy h:mm:ss AP", true, december.date(), ""},
        {"a day, month first chosen", day, "M/d/yy h:mm:ss AP", true, QDate(2026, 1, 12), ""},
        {"a day, none chosen", day, "", true, {}, "none was chosen"},
        {"a day, without a window",
         day,
         nullptr,
         false,
         {},
         "Line 5 \"1/12/26 10:00:00 AM 1.00 0.00 1.0\" reads as 2026-01-12 10:00:00 (M/d/yy "
         "h:mm:ss AP, en_US ceb_PH en_AS) or as 2026-12-01 10:00:00 (d/M/yy h:mm:ss AP, bn_BD"},
        // Across midnight month first would jump a month: the data decides, also when
        // midnight comes after the first thousand records.
        {"across midnight", every(december.addSecs(13 * 3600 + 40 * 60), 4, 600), "", false,
         december.date(), ""},
        {"a long first day", every(december.addSecs(12 * 3600), 5000, 5), "", false,
         december.date(), ""},
    };
    const LocaleGuard reading(QLocale(QLocale::English, QLocale::UnitedStates));
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        QByteArray text;
        {
            const LocaleGuard written(QLocale(QLocale::English, QLocale::Australia));
            text = logText(c.times);
        }
        ScriptedChooser chooser(QString::fromLatin1(c.answer));
        const PlotFile file = readText(text, c.answer ? &chooser : nullptr);
        EXPECT_EQ(chooser.asked, c.asked ? 1 : 0);
        EXPECT_EQ(file.ok(), c.read.isValid()) << file.error.toStdString();
        EXPECT_TRUE(file.error.contains(QString::fromLatin1(c.error))) << file.error.toStdString();
        EXPECT_EQ(file.cancelled, !c.read.isValid());
        if (c.read.isValid()) {
            ASSERT_EQ(file.sections.size(), 1);
            ASSERT_EQ(file.sections[0].size(), c.times.size());
            EXPECT_EQ(file.sections[0].timeAt(0), epoch(QDateTime(c.read, c.times[0].time())));
            EXPECT_EQ(file.sections[0].timeAt(c.times.size() - 1) - file.sections[0].timeAt(0),
                      c.times.first().secsTo(c.times.last()));
        }
        if (c.asked) {
            const TimeFormatQuestion &question = chooser.question;
            EXPECT_EQ(question.lineNumbers, (QVector<qint64>{5, 6, 7, 8, 9, 10, 11, 12, 13, 14}));
            EXPECT_TRUE(question.lines.value(0).startsWith("1/12/26 10:00:00 AM\t1.00"));
            EXPECT_EQ(question.lines.size(), 10);
            QStringList offered;
            for (const TimeFormatCandidate &candidate : question.candidates)
                offered << candidate.pattern + " " + candidate.times.value(9).toString(Qt::ISODate);
            offered.sort();
            EXPECT_EQ(offered, (QStringList{monthFirst + " 2026-01-12T19:00:00Z",
                                            dayFirst + " 2026-12-01T19:00:00Z"}));
        }
    }
}

// Times read by each kind of step of a pattern: native digits and marks, AM and PM texts,
// month names, two-digit years, ISO 8601 offsets and fractions; and what is no time.
TEST(PlotFileReaderTest, TimeFieldsReadAsWritten)
{
    const QLocale us(QLocale::English, QLocale::UnitedStates);
    const QLocale egypt(QLocale::Arabic, QLocale::Egypt);
    const QLocale korea(QLocale::Korean, QLocale::SouthKorea);
    const QLocale japan(QLocale::Japanese, QLocale::Japan);
    const QLocale russia(QLocale::Russian, QLocale::Russia);
    const DateTimeField iso = DateTimeField::Iso8601();
    struct Case
    {
        DateTimeField field;
        const char *text;
        const char *read; // ISO, or "" for no time
    };
    const Case cases[] = {
        {iso, "2026-10-25T01:30:00+01:00", "2026-10-25T01:30:00"},
        {iso, "2026-10-25T01:30:00Z", "2026-10-25T01:30:00"},
        {iso, "2026-10-25 01:30:00.25-0930", "2026-10-25T01:30:00.250"},
        {iso, "2026-10-25T01:30:00,1234+01", "2026-10-25T01:30:00.123"},
        {iso, "2026-10-25T01:30:00+15:00", ""},
        {iso, "2026-10-25T01:30:00+01:60", ""},
        {iso, "2026-10-25T01:30:00+1", ""},
        {iso, "2026-10-25X01:30:00", ""},
        {iso, "2026-10-25T01.30.00", ""},
        {iso, "2026-12-31T23:59:59", "2026-12-31T23:59:59"},
        {iso, "2026-02-29T01:30:00", ""},
        {iso, "2026-10-25T24:00:00", ""},
        {iso, "2026-10-25T23:60:00", ""},
        {iso, "2026-10-25T23:59:60", ""},
        {iso, "2026-10-25T01:30:00 ", "2026-10-25T01:30:00"},
        {iso, "2026-10-25T01:30:00 x", ""},
        {iso, "0001-01-01T00:00:00", "0001-01-01T00:00:00"},
        {{"M/d/yy", "h:mm:ss AP", us}, "12/5/26 12:00:00 AM", "2026-12-05T00:00:00"},
        {{"M/d/yy", "h:mm:ss AP", us}, "12/5/26 12:14:08 pm", "2026-12-05T12:14:08"},
        {{"M/d/yy", "h:mm:ss AP", us}, "12/5/69 1:14:08 PM", "2069-12-05T13:14:08"},
        {{"M/d/yy", "h:mm:ss AP", us}, "12/5/70 1:14:08 PM", "1970-12-05T13:14:08"},
        {{"M/d/yy", "h:mm:ss AP", us}, "12/5/26 13:14:08 PM", ""},
        {{"M/d/yy", "h:mm:ss AP", us}, "12/5/26 0:14:08 AM", ""},
        {{"M/d/yy", "h:mm:ss AP", us}, "12/5/26 1:14:08", ""},
        {{"M/d/yy", "h:mm:ss AP", us}, "12/5/2026 1:14:08 PM", ""},
        {{"d MMM yyyy", "HH:mm:ss", QLocale::c()}, "29 Mar 2026 00:59:40", "2026-03-29T00:59:40"},
        {{"d MMMM yyyy", "HH:mm:ss", russia}, "5 декабря 2026 17:14:08", "2026-12-05T17:14:08"},
        {{"ddd d MMM yyyy", "HH:mm:ss", QLocale::c()},
         "Sat 5 Dec 2026 17:14:08",
         "2026-12-05T17:14:08"},
        {{"ddd d MMM yyyy", "HH:mm:ss", QLocale::c()}, "Sat 5 Foo 2026 17:14:08", ""},
        {{"dd.MM.yyyy", "HH:mm:ss.zzz", QLocale::c()}, "05.12.2026 17:14:08.5", ""},
        {{"dd.MM.yyyy", "HH:mm:ss.z", QLocale::c()},
         "05.12.2026 17:14:08.5",
         "2026-12-05T17:14:08.500"},
        {{"dd.MM.yyyy", "HH:mm:ss", QLocale::c()}, "5.12.2026 17:14:08", ""},
        {{"dd.MM.yyyy", "HH:mm:ss", QLocale::c()}, "05.12.26 17:14:08", ""},
        {{"d MMM yyyy", "HH:mm:ss", QLocale(QLocale::German)},
         "5 dEZ 2026 17:14:08",
         "2026-12-05T17:14:08"},
        {{"dd.MM.yyyy", "HH:mm:ss tt", QLocale::c()}, "05.12.2026 17:14:08 ", ""},
        {{"dd.MM.yyyy", "HH:mm:ss 'h", QLocale::c()},
         "05.12.2026 17:14:08 h",
         "2026-12-05T17:14:08"},
        {{"M/d/yy", "h:mm:ss AP", us}, "12/5/2 1:14:08 PM", ""},
        {{"yyyy/MM/dd", "H\u6642mm\u5206ss\u79d2", japan}, "2026/12/05 17\u664214\u520608", ""},
        {iso, "2026-10-25T01:30:00x", ""},
        {iso, "2026-10-25T01:30:00+14:00", "2026-10-25T01:30:00"},
        {iso, "2026-10-25T01:30:00.", ""},
        {{"dd.MM.yyyy", "'h' HH,mm,ss", QLocale::c()},
         "05.12.2026 h 17.14.08",
         "2026-12-05T17:14:08"},
        {{"d/M/yyyy", "h:mm:ss AP", egypt},
         "\u0665\u200f/\u0661\u0662\u200f/\u0662\u0660\u0662\u0666 "
         "\u0665:\u0661\u0664:\u0660\u0668 \u0645",
         "2026-12-05T17:14:08"},
        {{"d/M/yyyy", "h:mm:ss AP", egypt},
         "\u0665\u200e/\u0661\u0662\u061c/\u0662\u0660\u0662\u0666\u00a0"
         "\u0665:\u0661\u0664:\u0660\u0668\u202f\u0635",
         "2026-12-05T05:14:08"},
        {{"yy. M. d.", "AP h\uc2dc m\ubd84 s\ucd08", korea},
         "26. 12. 5. \uc624\ud6c4 5\uc2dc 14\ubd84 8\ucd08",
         "2026-12-05T17:14:08"},
        {{"yyyy/MM/dd", "H\u6642mm\u5206ss\u79d2", japan},
         "2026/12/05 17\u664214\u520608\u79d2",
         "2026-12-05T17:14:08"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.field.pattern().toStdString() + " " + c.text);
        const QByteArray text = QString::fromUtf8(c.text).toUtf8();
        double seconds = -1;
        const bool read = c.field.read(text.constData(), text.constData() + text.size(), seconds);
        const QDateTime time =
            QDateTime::fromMSecsSinceEpoch(qint64(std::llround(seconds * 1000)), Qt::UTC);
        const QString shown = time.toString(time.time().msec() ? Qt::ISODateWithMs : Qt::ISODate);
        EXPECT_EQ(read ? shown.chopped(1) : QString(), QString::fromLatin1(c.read));
    }
}

// Fields as the files hold them in any locale: digits, decimal marks, direction marks
// and blanks normalised; broken UTF-8 kept; numbers in each form the writers use.
TEST(PlotFileReaderTest, FieldsNormalisedAndNumbersRead)
{
    const std::pair<const char *, const char *> texts[] = {
        {"\xd9\xa5\xd9\xab\xd9\xa0", "5.0"},        // Arabic-Indic digits, U+066B
        {"\xdb\xb9\xe0\xa5\xa8", "92"},             // Persian and Devanagari digits
        {"\xf0\x91\x84\xb6\xf0\x9e\xa5\x91", "01"}, // Chakma and Adlam digits
        {"\xe2\x88\x92\x31", "-1"},                 // U+2212 minus
        {"a\xe2\x80\x8e\xe2\x80\x8f\xd8\x9c\xe2\x80\x8b\xe2\x80\xaa\xe2\x80\xae\xe2\x81\xa6\xe2\x81"
         "\xa9z",
         "az"}, // direction marks
        {"1\xc2\xa0\x32\xe2\x80\xaf\x33\xe2\x80\x87\x34\xe2\x80\x89\x35", "1 2 3 4 5"}, // blanks
        {"\xc3\xa9\xe2\x80\x8c\xe2\x80\xb0",
         "\xc3\xa9\xe2\x80\x8c\xe2\x80\xb0"},     // kept as they are
        {"x\xd9", "x\xd9"},                       // cut short
        {"\xd9\x41\xe2\x80", "\xd9\x41\xe2\x80"}, // not UTF-8
        {"\xe2\x80\x8f\xe2\x80\x8f", ""},
        {"\xc0\xb1\xc1\xb2", "\xc0\xb1\xc1\xb2"}, // overlong forms of 1 and 2: no digits
    };
    for (const auto &[in, out] : texts) {
        SCOPED_TRACE(in);
        char buffer[16];
        qsizetype length = -1;
        ASSERT_TRUE(NormaliseField(in, in + std::strlen(in), buffer, sizeof buffer, length));
        EXPECT_EQ(QByteArray(buffer, length), QByteArray(out));
        EXPECT_FALSE(NormaliseField(in, in + std::strlen(in), buffer, length - 1, length) &&
                     length > 0);
    }

    // A sequence cut short by the field's end, though the bytes after it would complete it.
    const char cut[] = "\xd9\xa5";
    char one[4];
    qsizetype oneLength = 0;
    ASSERT_TRUE(NormaliseField(cut, cut + 1, one, sizeof one, oneLength));
    EXPECT_EQ(QByteArray(one, oneLength), QByteArray("\xd9"));
    const char ascii[] = "17:14:08 PM\x7f";
    EXPECT_TRUE(IsAsciiField(ascii, ascii + std::strlen(ascii)));
    EXPECT_FALSE(IsAsciiField(texts[8].first, texts[8].first + 1));

    const QByteArray head = "ZQ5 Data file 14/06/2026 17:14:08\r\nZQ5 v1.03 Ser No: 1234\r\n"
                            "Reading Units: klux\r\nTime\tTotal\tDiffuse\tSun\r\n";
    struct Number
    {
        const char *text;
        float value;
        int decimals;
    };
    const Number numbers[] = {
        {"12.34", 12.34f, 2},
        {"-0.50", -0.5f, 2},
        {"1,25", 1.25f, 2},
        {" 7 ", 7.0f, 0},
        {"2188.35", 2188.35f, 2},
        {"\xd9\xa1\xd9\xa2\xd9\xab\xd9\xa5", 12.5f, 1},
        {"123456789012345678", 123456789012345678.0f, 0},
        {".5", 0.5f, 1},
        {"Infinity", INFINITY, 0},
        {"-Infinity", -INFINITY, 0},
    };
    for (const Number &n : numbers) {
        SCOPED_TRACE(n.text);
        const PlotFile file =
            readText(head + "14/06/2026 10:00:00\t" + n.text + "\t1\t1.0\r\nNaN\r\n");
        ASSERT_EQ(file.sections.value(0).size(), 1);
        EXPECT_EQ(float(file.sections[0].valueAt(0, 0)), n.value);
        EXPECT_EQ(file.sections[0].decimals, (QVector<int>{n.decimals, 0, 1}));
    }
    const PlotFile nan = readText(head + "14/06/2026 10:00:00\tNaN\t1\t1.0\r\n");
    EXPECT_TRUE(std::isnan(nan.sections.value(0).valueAt(0, 0)));
}

// Times kept as float offsets while each is exact, else as doubles; either way as given.
TEST(PlotFileReaderTest, RecordTimesKeepEveryTimeExactly)
{
    const double start = 1780358280;
    const std::tuple<double, int, bool> cases[] = {
        {30, 3000, true}, // a year's 30 s records in blocks of 1024
        {1, 1500, true},
        {0.1, 1500, false},           // not exact as a float offset
        {86400.0 * 400, 1100, false}, // nor are such long steps
    };
    for (const auto &[step, count, compact] : cases) {
        SCOPED_TRACE(step);
        RecordTimes times;
        for (int i = 0; i < count; ++i)
            times.append(start + i * step);
        ASSERT_EQ(times.size(), count);
        for (int i = 0; i < count; ++i)
            ASSERT_EQ(times.at(i), start + i * step) << i;
        EXPECT_EQ(times.last(), start + (count - 1) * step);
        EXPECT_EQ(times.bytes() < count * 6, compact) << times.bytes();
    }
}

TEST(PlotFileReaderTest, RepeatedAndBackwardTimesStartASectionAndCountOnce)
{
    // Under London time, whose clocks change on 29 March and 25 October 2026: a logger's
    // clock goes on through both, a computer's goes back an hour in October.
    const TimeZoneGuard london("Europe/London");
    const LocaleGuard locale(QLocale(QLocale::English, QLocale::UnitedKingdom));
    const auto times = [](int hour, int minute, int count, int step) {
        QVector<QTime> list;
        for (int i = 0; i < count; ++i)
            list << QTime(hour, minute).addSecs(i * step * 60);
        return list;
    };
    struct Case
    {
        const char *name;
        bool log;
        QDate date;
        QVector<QTime> times;
        QVector<double> values;
        QVector<qsizetype> sections;
        qint64 backLine;
        const char *summary;
    };
    const Case cases[] = {
        {"a logger's record across the spring change",
         false,
         QDate(2026, 3, 29),
         times(0, 0, 7, 30),
         {},
         {7},
         0,
         "2026-03-29\t3.500\tklux.h\t1.00\tklux\t00:00:00\t3.500\n"},
        {"the computer's clock going back in autumn",
         true,
         QDate(2026, 10, 25),
         times(0, 30, 3, 30) + times(1, 0, 3, 30),
         {1, 2, 3, 4, 5, 6},
         {3, 3},
         8,
         "2026-10-25\t6.000\tklux.h\t6.00\tklux\t02:00:00\t2.000\n"},
        // Counted twice, the energy would be 8.12.
        {"records written twice",
         false,
         QDate(2026, 6, 14),
         times(10, 0, 5, 60) + times(10, 0, 2, 60),
         {0.31, 1, 2.5, 2, 1, 0.31, 1},
         {5, 2},
         10,
         "2026-06-14\t6.810\tklux.h\t2.50\tklux\t12:00:00\t5.000\n"},
        {"back by half an hour",
         true,
         QDate(2026, 6, 14),
         times(10, 0, 5, 60) + times(12, 30, 2, 60),
         {0.31, 1, 2.5, 2, 1, 5, 5},
         {5, 2},
         10,
         "2026-06-14\t6.810\tklux.h\t2.50\tklux\t12:00:00\t5.000\n"},
        // The last time again is covered; the hour before the first is not.
        {"the last record again",
         false,
         QDate(2026, 6, 14),
         times(10, 0, 5, 60) + times(14, 0, 1, 60),
         {0.31, 1, 2.5, 2, 1, 9},
         {5, 1},
         10,
         "2026-06-14\t6.810\tklux.h\t2.50\tklux\t12:00:00\t5.000\n"},
        {"steps of two lengths",
         true,
         QDate(2026, 6, 14),
         {QTime(10, 0), QTime(10, 1), QTime(10, 3)},
         {},
         {3},
         0,
         "2026-06-14\t0.050\tklux.h\t1.00\tklux\t10:00:00\t0.050\n"},
        {"back to the hours before",
         false,
         QDate(2026, 6, 14),
         times(10, 0, 5, 60) + times(8, 0, 2, 60),
         {0.31, 1, 2.5, 2, 1, 1, 1},
         {5, 2},
         10,
         "2026-06-14\t8.810\tklux.h\t2.50\tklux\t12:00:00\t7.000\n"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        QVector<QDateTime> written;
        for (const QTime &time : c.times)
            written << QDateTime(c.date, time, Qt::UTC);
        const PlotFile file =
            readText(c.log ? logText(written, c.values) : datasetText(written, c.values));
        ASSERT_TRUE(file.ok()) << file.error.toStdString();
        QVector<qsizetype> sizes;
        QVector<double> read;
        for (const PlotSection &section : file.sections) {
            sizes << section.size();
            for (qsizetype i = 0; i < section.size(); ++i)
                read << section.timeAt(i);
        }
        EXPECT_EQ(sizes, c.sections);
        ASSERT_EQ(read.size(), c.times.size());
        for (int i = 0; i < read.size(); ++i)
            EXPECT_EQ(read[i], epoch(QDateTime(c.date, c.times[i]))) << i;
        EXPECT_EQ(file.firstTimeBack.line, c.backLine);
        EXPECT_EQ(file.firstTimeBack.text.left(19),
                  c.backLine
                      ? QDateTime(c.date, c.times[c.backLine - 5]).toString("dd/MM/yyyy HH:mm:ss")
                      : QString());
        EXPECT_EQ(DailySummary(file).toTabSeparatedText().section('\n', 1),
                  QString::fromLatin1(c.summary));
    }
}

TEST(PlotSummaryTest, GapsAndDailySumsInEachUnitsFamily)
{
    // Records a minute or two apart around local midnight (BST, an hour off UTC), then a
    // gap of nine minutes.
    const QDateTime t0(QDate(2026, 6, 14), QTime(23, 58));
    PlotSection section;
    section.periodSeconds = 60;
    section.columns = QStringList{"Total", "Diffuse", "Sun"};
    for (int minute : {0, 1, 3, 4, 13, 14})
        section.time.append(epoch(t0.addSecs(60 * minute)));
    section.values = {{100, 200, 300, 400, 500, NAN}, {1, 1, 1, 1, 1, 1}, {1, 0, 1, 1, 0.5, 0}};

    // Without a period (not from a file) no step forward is a gap.
    PlotSection unperiodic = section;
    unperiodic.periodSeconds = 0;
    EXPECT_EQ(ContinuousRuns(unperiodic).size(), 1);
    const QVector<IndexRange> runs = ContinuousRuns(section);
    ASSERT_EQ(runs.size(), 2);
    EXPECT_EQ(std::make_tuple(runs[0].begin, runs[0].end, runs[1].begin, runs[1].end),
              std::make_tuple(0, 4, 4, 6));
    const BrokenSeries broken = WithBreaks(section, 0, runs);
    ASSERT_EQ(broken.time.size(), 7);
    EXPECT_TRUE(std::isnan(broken.values[4]));
    EXPECT_EQ(broken.time[4], epoch(t0.addSecs(510)));

    // Energy (100 + 200) x 60 s on the first day, (300 + 400 + 500) x 60 s on the second;
    // sunshine 60 s, then 2.5 x 60 s; the NaN of "bad readings" adds nothing.
    const QString heading =
        "Date\tEnergy\tEnergy units\tPeak total\tUnits\tPeak time\tSunshine (h)\n";
    const std::tuple<QLocale, const char *, const char *> cases[] = {
        {QLocale(), "W.m-2",
         "2026-06-14\t0.018\tMJ.m-2\t200.00\tW.m-2\t23:59:00\t0.017\n"
         "2026-06-15\t0.072\tMJ.m-2\t500.00\tW.m-2\t00:11:00\t0.042\n"},
        {QLocale(), "umol.m-2.s-1",
         "2026-06-14\t0.018\tmol.m-2\t200.00\tumol.m-2.s-1\t23:59:00\t0.017\n"
         "2026-06-15\t0.072\tmol.m-2\t500.00\tumol.m-2.s-1\t00:11:00\t0.042\n"},
        {QLocale(QLocale::German, QLocale::Germany), "klux",
         "2026-06-14\t5,000\tklux.h\t200,00\tklux\t23:59:00\t0,017\n"
         "2026-06-15\t20,000\tklux.h\t500,00\tklux\t00:11:00\t0,042\n"}};
    for (const auto &[locale, units, rows] : cases) {
        const LocaleGuard guard(locale);
        section.units = QString::fromLatin1(units);
        PlotFile file;
        file.sections = {section};
        const DailySummary summary(file);
        EXPECT_EQ(summary.toTabSeparatedText(), heading + QString::fromLatin1(rows));
        EXPECT_EQ(summary.days().value(0).peakTime, epoch(t0.addSecs(60)));
        EXPECT_EQ(summary.days().value(1).records, 4);
    }
}
