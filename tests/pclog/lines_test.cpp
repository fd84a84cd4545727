// SPDX-License-Identifier: GPL-3.0-or-later
// The texts of PC logging: the log file's form chosen by its name, its header and data
// lines in both forms and both number settings; the on-screen heading and rows with
// their padding, patterns and the sensors' spread, and where the schedule's first
// reading falls; what a period text means in seconds, the output box's 10000 characters
// and the title with the file name.
#include "FakeFileDialogs.h"
#include "FullDisk.h"
#include "LocaleGuard.h"
#include "QtPrinters.h"
#include "common/DataFileText.h"

#include "pclog/LogFileHeader.h"
#include "pclog/LogFileWriter.h"
#include "pclog/LogPeriods.h"
#include "pclog/LoggingSchedule.h"
#include "pclog/OutputText.h"
#include "pclog/PeriodLines.h"
#include "pclog/WindowTitle.h"

#include <gtest/gtest.h>

#include <array>
#include <tuple>

namespace {

const QChar Tab = QLatin1Char('\t');
const QChar Comma = QLatin1Char(',');
const QDateTime Made(QDate(2026, 12, 5), QTime(17, 45, 10));
const QTime TenOneO(10, 1, 0);
const QLocale British(QLocale::English, QLocale::UnitedKingdom);
const QLocale German(QLocale::German, QLocale::Germany);

// `count` readings (default one) summing to the values given, with the eight channels
// and the two temperatures, read `temps` times (default: at every reading).
ReadingSums Sums(float total, float diffuse, qint16 sun, qint16 count = 1,
                 std::array<float, 8> channels = {}, float therm = 21.4f, float chip = 25.1f,
                 qint16 temps = -1)
{
    ReadingSums sums;
    std::tie(sums.TotalSum, sums.DiffuseSum, sums.SunCount, sums.ReadingCount) =
        std::tuple(total, diffuse, sun, count);
    for (size_t i = 0; i < 8; ++i)
        sums.IndividualSums[i] = channels[i] * count;
    sums.TempCount = temps < 0 ? count : temps;
    std::tie(sums.ThermSum, sums.ChipSum) =
        std::tuple(therm * sums.TempCount, chip * sums.TempCount);
    return sums;
}

LineSettings Settings(bool individual, bool temperature, bool testMenu, const char *fmt = "0.0")
{
    LineSettings settings;
    settings.fmt = QString::fromLatin1(fmt);
    std::tie(settings.individual, settings.temperatureModel, settings.testMenu) =
        std::tuple(individual, temperature, testMenu);
    return settings;
}

LogFileInfo Info(const char *version, bool individual = false, const char *units = "Units: W.m-2")
{
    LogFileInfo info;
    info.version = QString::fromLatin1(version);
    info.serialNumber = QStringLiteral("1234");
    info.units = QString::fromLatin1(units);
    info.individual = individual;
    info.calValues = {4096, 4080, 4128, 3840, 255, 4096, 65535, 256, 0};
    return info;
}

TEST(LogFileTest, FormHeaderAndLinesInBothFormsAndNumberSettings)
{
    // The last three characters of the name, lower case: "csv" for commas.
    for (const char *name : {"/home/ann/run.csv", "csv", "runcsv"})
        EXPECT_EQ(DataFileSeparator(name), Comma) << name;
    for (const char *name : {"run.txt", "RUN.CSV", "run.Csv", "data.csv.txt", ""})
        EXPECT_EQ(DataFileSeparator(name), Tab) << name;
    // The save dialog adds the chosen type's extension to a new name typed without one
    // (the first type when none was chosen); a name with a point, or of a file that is
    // there, is kept; cancelled.
    const QString csv = "ZQ3 comma separated file (*.csv)";
    // clang-format off
    const std::tuple<QString, QString, QString> typed[] = {
        {"/home/ann/run", csv, "/home/ann/run.csv"}, {"/home/ann/run", "", "/home/ann/run.txt"},
        {"/home/ann/run.dat", csv, "/home/ann/run.dat"}, {"/home/ann/run", "All (*)", "/home/ann/run.txt"},
        {"/dev/full", csv, "/dev/full"}, {"", csv, ""},
    };
    // clang-format on
    for (const auto &[name, type, path] : typed) {
        FakeFileDialogs dialogs;
        dialogs.answers = {name};
        dialogs.types = {type.isEmpty() ? DataFileFilter.section(";;", 0, 0) : type};
        EXPECT_EQ(dialogs.saveFileName("Save", "", "", DataFileFilter, "txt"), path)
            << name.toStdString();
    }

    // Two readings of 512.3 total, 87.0 diffuse, sunny, 21.4 degrees. In the comma form
    // every comma inside a field (a decimal comma, a comma in a date) becomes a point.
    const ReadingSums two = Sums(1024.6f, 174.0f, 2, 2);
    // clang-format off
    const std::tuple<QLocale, QChar, QString> forms[] = {
        {British, Tab, "ZQ5 Logger Data file 05/12/2026 17:45:10|ZQ5 v1.03 Ser No: 1234|Reading Units: W.m-2|Time\tTotal\tDiffuse\tSun\tTemp|05/12/2026 17:46:00\t512.3\t87.0\t1.0\t21.4"},
        {British, Comma, "ZQ5 Logger Data file 05/12/2026 17:45:10|ZQ5 v1.03 Ser No: 1234|Reading Units: W.m-2|Time,Total,Diffuse,Sun,Temp|05/12/2026 17:46:00,512.3,87.0,1.0,21.4"},
        {German, Tab, "ZQ5 Logger Data file 05.12.26 17:45:10|ZQ5 v1.03 Ser No: 1234|Reading Units: W.m-2|Time\tTotal\tDiffuse\tSun\tTemp|05.12.26 17:46:00\t512,3\t87,0\t1,0\t21,4"},
        {German, Comma, "ZQ5 Logger Data file 05.12.26 17:45:10|ZQ5 v1.03 Ser No: 1234|Reading Units: W.m-2|Time,Total,Diffuse,Sun,Temp|05.12.26 17:46:00,512.3,87.0,1.0,21.4"},
        {QLocale(QLocale::English, QLocale::UnitedStates), Comma, "ZQ5 Logger Data file 12/5/26 5:45:10 PM|ZQ5 v1.03 Ser No: 1234|Reading Units: W.m-2|Time,Total,Diffuse,Sun,Temp|12/5/26 5:46:00 PM,512.3,87.0,1.0,21.4"},
        {QLocale(QLocale::Japanese, QLocale::Japan), Tab, "ZQ5 Logger Data file 2026/12/05 17時45分10秒|ZQ5 v1.03 Ser No: 1234|Reading Units: W.m-2|Time\tTotal\tDiffuse\tSun\tTemp|2026/12/05 17時46分00秒\t512.3\t87.0\t1.0\t21.4"},
        {QLocale(QLocale::Arabic, QLocale::Egypt), Comma, "ZQ5 Logger Data file ٥\u200F/١٢\u200F/٢٠٢٦ ٥:٤٥:١٠ م|ZQ5 v1.03 Ser No: 1234|Reading Units: W.m-2|Time,Total,Diffuse,Sun,Temp|٥\u200F/١٢\u200F/٢٠٢٦ ٥:٤٦:٠٠ م,512٫3,87٫0,1٫0,21٫4"},
    };
    // clang-format on
    for (const auto &[locale, separator, expected] : forms) {
        const LocaleGuard guard(locale);
        const QStringList lines = LogFileHeader(Info("ZQ5 v1.03"), Made, separator) +
                                  QStringList(FileLine(two, QDateTime(Made.date(), QTime(17, 46)),
                                                       Settings(false, true, false), separator));
        EXPECT_EQ(lines.join('|'), expected);
        // Written in UTF-8: plain ASCII stays as it is, nothing becomes "?".
        QByteArray bytes;
        LogFileWriter file(
            [&bytes](const QString &, QString &) { return std::make_unique<FullDisk>(9, &bytes); });
        QString error;
        ASSERT_TRUE(file.create("run", error));
        for (const QString &line : lines)
            ASSERT_TRUE(file.writeLine(line, error));
        EXPECT_TRUE(QUtf8StringView(bytes).isValidUtf8() && !bytes.contains('?'));
        EXPECT_EQ(QString::fromUtf8(bytes), lines.join("\r\n") + "\r\n");
    }

    // With individual sensors: the calibration factors, the sensor columns, and on a ZQ3
    // a note after the units; header texts are written as they are in the comma form.
    // clang-format off
    const std::tuple<LogFileInfo, QChar, QString> headers[] = {
        {Info("ZQ3 v1.7", true), Tab, "Reading Units: W.m-2\tIndividual readings in umol.m-2.s-1|Calibration values:\t4096\t4080\t4128\t3840\t255\t4096\t65535\t256|Time\tTotal\tDiffuse\tSun\tP0\tP1\tP2\tP3\tP4\tP5\tP6\tP7\tTemp"},
        {Info("ZQ3 v2.1", true), Comma, "Reading Units: W.m-2,Individual readings in umol.m-2.s-1|Calibration values:,4096,4080,4128,3840,255,4096,65535,256|Time,Total,Diffuse,Sun,P0,P1,P2,P3,P4,P5,P6,P7"},
        {Info("ZQ5 v1.03", true), Tab, "Reading Units: W.m-2|Calibration values:\t4096\t4080\t4128\t3840\t255\t4096\t65535\t256|Time\tTotal\tDiffuse\tSun\tP0\tP1\tP2\tP3\tP4\tP5\tP6\tP7\tTemp"},
        {Info("ZQ3 v1.7"), Tab, "Reading Units: W.m-2|Time\tTotal\tDiffuse\tSun\tTemp"},
        {Info("ZQ2 v1.4"), Tab, "Reading Units: W.m-2|Time\tTotal\tDiffuse\tSun"},
        {Info("ZQ5 v1,03", false, "Units: W.m-2, 1,5"), Comma, "Reading Units: W.m-2, 1,5|Time,Total,Diffuse,Sun,Temp"},
    };
    // clang-format on
    for (const auto &[info, separator, tail] : headers)
        EXPECT_EQ(LogFileHeader(info, Made, separator).mid(2).join('|'), tail);

    // The data line's fields: the sensors before the temperature, the chip temperature
    // last without a heading, klux with two decimals, none without a temperature model,
    // and "bad readings" after a period without a reading. Temperatures average those
    // read; none read leaves their fields empty.
    const std::array<float, 8> sensors{1000.05f, 1010.05f, 1020.05f, 1030.05f,
                                       1040.05f, 1050.05f, 1060.05f, 1070.05f};
    // clang-format off
    const std::tuple<ReadingSums, LineSettings, QChar, const char *> lines[] = {
        {Sums(1024.6f, 174.0f, 2, 2, sensors), Settings(true, true, false), Tab, "512.3\t87.0\t1.0\t1000.1\t1010.1\t1020.1\t1030.1\t1040.1\t1050.1\t1060.1\t1070.1\t21.4"},
        {Sums(1024.6f, 174.0f, 2, 2, sensors), Settings(true, true, true), Comma, "512.3,87.0,1.0,1000.1,1010.1,1020.1,1030.1,1040.1,1050.1,1060.1,1070.1,21.4,25.1"},
        {Sums(12.345f, 3.2f, 0), Settings(false, false, false, "0.00"), Tab, "12.35\t3.20\t0.0"},
        {Sums(5, 0, 0, 0), Settings(false, true, false), Tab, "bad readings"},
        {Sums(5, 0, 0, 0), Settings(false, true, false), Comma, "bad readings"},
        {Sums(1024.6f, 174.0f, 2, 2, {}, 21.4f, 25.1f, 1), Settings(false, true, true), Tab, "512.3\t87.0\t1.0\t21.4\t25.1"},
        {Sums(1024.6f, 174.0f, 2, 2, {}, 21.4f, 25.1f, 0), Settings(false, true, true), Comma, "512.3,87.0,1.0,,"},
    };
    // clang-format on
    for (const auto &[sums, settings, separator, fields] : lines)
        EXPECT_EQ(FileLine(sums, QDateTime(Made.date(), TenOneO), settings, separator),
                  QStringLiteral("05/12/2026 10:01:00") + separator + fields);
}

TEST(ScreenLinesTest, HeadingRowsAndTheScheduleFirstReading)
{
    EXPECT_EQ(ScreenHeading(Settings(false, true, true)), "  Time      Total Diffuse  Sun   Temp");
    EXPECT_EQ(ScreenHeading(Settings(true, true, false)),
              "  Time      Total Diffuse  Sun     P0     P1     P2     P3     P4     P5     P6"
              "     P7   Temp");

    // The test menu adds the chip temperature and the spread of sensors 1..7 (none when a
    // sensor reads nothing, or without individual sensors); wide numbers are not cut.
    const std::array<float, 8> spread{2500, 2520, 2480, 2550, 2462, 2512, 2475, 2545};
    const std::array<float, 8> dark{2500, 2520, 2480, 2550, 0, 2512, 2475, 2545};
    const char *const sensors = " 2500.0 2520.0 2480.0 2550.0 2462.0 2512.0 2475.0 2545.0";
    // clang-format off
    const std::tuple<ReadingSums, LineSettings, QString> rows[] = {
        {Sums(102.5f, 50, 1), Settings(false, false, false), "    102.5    50.0  1.0"},
        {Sums(200, 100, 1, 2), Settings(false, false, false), "    100.0    50.0  0.5"},
        {Sums(12.345f, 3.2f, 0), Settings(false, false, false, "0.00"), "    12.35    3.20  0.0"},
        {Sums(1234567.8f, -5, 0), Settings(false, false, false), " 1234567.8    -5.0  0.0"},
        {Sums(5, 5, 0, 0), Settings(true, true, true), " bad readings"},
        {Sums(500, 100, 1, 1, spread), Settings(false, true, false), "    500.0   100.0  1.0   21.4"},
        {Sums(500, 100, 1, 1, spread), Settings(true, true, false), "    500.0   100.0  1.0" + QString(sensors) + "   21.4"},
        {Sums(500, 100, 1, 1, spread), Settings(true, true, true), "    500.0   100.0  1.0" + QString(sensors) + "   21.4   25.1  1.036"},
        {Sums(500, 100, 1, 1, spread), Settings(true, false, true), "    500.0   100.0  1.0" + QString(sensors) + "  1.036"},
        {Sums(500, 100, 1, 1, dark), Settings(true, true, true), "    500.0   100.0  1.0 2500.0 2520.0 2480.0 2550.0    0.0 2512.0 2475.0 2545.0   21.4   25.1"},
        {Sums(500, 100, 1, 1, spread), Settings(false, true, true), "    500.0   100.0  1.0   21.4   25.1"},
        {Sums(500, 100, 1, 1, spread, -12.5f, -3), Settings(false, true, true), "    500.0   100.0  1.0  -12.5   -3.0"},
        {Sums(500, 100, 1, 1, spread, 21.4f, 25.1f, 0), Settings(true, true, true), "    500.0   100.0  1.0" + QString(sensors) + QString(14, ' ') + "  1.036"},
    };
    // clang-format on
    for (const auto &[sums, settings, row] : rows)
        EXPECT_EQ(ScreenLine(sums, TenOneO, settings), "10:01:00" + row);
    {
        const LocaleGuard german(German);
        EXPECT_EQ(ScreenLine(Sums(102.5f, 50, 1), TenOneO, Settings(false, false, false)),
                  "10:01:00    102,5    50,0  1,0");
    }
    // The schedule's first reading: the next multiple of the period on the clock after
    // the time rounded to a second, across midnight; a period of no seconds has none.
    const QDate day(2026, 6, 1);
    // clang-format off
    const std::tuple<QTime, qint16, QDateTime> firsts[] = {
        {QTime(10, 0, 7, 400), 10, {day, QTime(10, 0, 10)}}, {QTime(10, 0, 7, 500), 60, {day, QTime(10, 1)}},
        {QTime(10, 0, 9, 600), 10, {day, QTime(10, 0, 20)}}, {QTime(23, 59, 59, 600), 10, {day.addDays(1), QTime(0, 0, 10)}},
        {QTime(23, 59, 55), 3600, {day.addDays(1), QTime(0, 0)}}, {QTime(10, 0, 7, 400), 0, {day, QTime(10, 0, 7, 400)}},
    };
    // clang-format on
    for (const auto &[now, interval, first] : firsts)
        EXPECT_EQ(NextMultiple(QDateTime(day, now), interval), first.toMSecsSinceEpoch())
            << now.toString().toStdString() << " " << interval;
}

TEST(WindowTextTest, PeriodSecondsTheOutputBoxAndTheTitle)
{
    // The seconds of a period text, and whether they can drive the schedule.
    // clang-format off
    const std::tuple<const char *, std::optional<qint16>, bool> periods[] = {
        {"1s", 1, true},     {"1m", 60, true},     {"60m", 3600, true},     {"90", 90, true},
        {"1.5m", 90, true},  {"2.5", 2, true},     {"3.5", 4, true},        {"1M", 1, true},
        {" 5 m", 300, true}, {"0s", 0, false},     {"0.4", 0, false},       {"abc", 0, false},
        {"-10s", -10, false}, {"32767", 32767, true}, {"32768", {}, false}, {"600m", {}, false},
        {"1e999", {}, false}, {"546.1m", 32766, true},
    };
    // clang-format on
    for (const auto &[text, seconds, usable] : periods) {
        EXPECT_EQ(PeriodSeconds(QString::fromLatin1(text)), seconds) << text;
        EXPECT_EQ(UsablePeriodSeconds(QString::fromLatin1(text)).has_value(), usable) << text;
    }
    EXPECT_EQ(LogPeriodEntriesFrom(-1), LogPeriodEntries());

    // The box keeps the last 10000 characters from a whole line: the cut falls inside a
    // line, which is dropped whole, or between CR and LF.
    OutputText box;
    QString hundred;
    for (int i = 0; i < 100; ++i)
        hundred += QString::number(i).rightJustified(98, 'x') + "\r\n";
    EXPECT_FALSE(box.append(hundred)); // exactly 10000
    EXPECT_TRUE(box.append(QStringLiteral("new line\r\n")));
    EXPECT_EQ(box.text(), hundred.mid(100) + "new line\r\n");
    OutputText split;
    split.append("a\r" + QString(9998, 'b') + "\r\n");
    split.append("c\r\n"); // the last 10000 start with "\nbbbb"
    EXPECT_EQ(split.text(), "c\r\n");

    // The title holds the file's name, or as much of its end as fits after "...".
    const auto characters = [](const QString &text) { return static_cast<int>(text.size()); };
    const QString name = QStringLiteral("/home/ann/Documents/run.txt"); // 27 characters
    EXPECT_EQ(TitleWithFile(name, 27, characters), "Vantlog " + name);
    EXPECT_EQ(TitleWithFile(name, 26, characters), "Vantlog ..." + name.right(26));
    EXPECT_EQ(TitleWithFile(name, 7, characters), "Vantlog ...run.txt");
    EXPECT_EQ(TitleWithFile(name, -500, characters), "Vantlog ...t");
}

} // namespace
