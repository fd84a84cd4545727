// The log file: its form chosen by the name, the header, the data lines in both forms and
// both number settings, and the writer that puts every line on the disk as it goes.
#include "LocaleGuard.h"
#include "QtPrinters.h"

#include "pclog/LogFileHeader.h"
#include "pclog/LogFileWriter.h"
#include "pclog/PeriodLines.h"

#include <QFile>
#include <QLocale>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

const QChar Tab = QLatin1Char('\t');
const QChar Comma = QLatin1Char(',');
const QDateTime Made(QDate(2026, 12, 5), QTime(17, 45, 10));
const QDate PeriodDate(2026, 12, 5);
const float PeriodEnd = 17 * 3600 + 46 * 60;

LogFileInfo Zq5()
{
    LogFileInfo info;
    info.version = QStringLiteral("ZQ5 v1.03");
    info.serialNumber = QStringLiteral("1234");
    info.units = QStringLiteral("Units: W.m-2");
    return info;
}

// One reading of 512.3 total, 87.0 diffuse, with sun and 21.4 degrees (two readings, so
// the averages are divided).
ReadingSums Readings()
{
    ReadingSums sums;
    sums.TotalSum = 1024.6f;
    sums.DiffuseSum = 174.0f;
    sums.SunCount = 2;
    sums.ThermSum = 42.8f;
    sums.ChipSum = 50.2f;
    sums.ReadingCount = 2;
    for (size_t i = 0; i < 8; ++i)
        sums.IndividualSums[i] = 2.0f * (1000.0f + 10.0f * static_cast<float>(i)) + 0.1f;
    return sums;
}

LineSettings TemperatureModel()
{
    LineSettings settings;
    settings.temperatureModel = true;
    return settings;
}

TEST(LogFileTest, SeparatorComesFromTheLastThreeCharactersOfTheName)
{
    const struct
    {
        const char *name;
        QChar separator;
    } cases[] = {{"/home/ann/Documents/run.csv", Comma},
                 {"run.txt", Tab},
                 {"RUN.CSV", Tab},
                 {"run.Csv", Tab},
                 {"data.csv.txt", Tab},
                 {"csv", Comma},
                 {"runcsv", Comma},
                 {"", Tab}};
    for (const auto &c : cases)
        EXPECT_EQ(LogFileSeparator(QString::fromLatin1(c.name)), c.separator) << c.name;
}

TEST(LogFileTest, HeaderAndFirstLineInBothFormsAndBothNumberSettings)
{
    const QLocale british(QLocale::English, QLocale::UnitedKingdom);
    const QLocale german(QLocale::German, QLocale::Germany);
    const struct
    {
        const char *name;
        QLocale locale;
        QChar separator;
        const char *firstLine;
        const char *columns;
        QString line;
    } cases[] = {
        {"tab form", british, Tab, "ZQ5 Logger Data file 05/12/2026 17:45:10",
         "Time\tTotal\tDiffuse\tSun\tTemp", "05/12/2026 17:46:00\t512.3\t87.0\t1.0\t21.4"},
        {"comma form", british, Comma, "ZQ5 Logger Data file 05/12/2026 17:45:10",
         "Time,Total,Diffuse,Sun,Temp", "05/12/2026 17:46:00,512.3,87.0,1.0,21.4"},
        {"tab form with decimal commas", german, Tab, "ZQ5 Logger Data file 05.12.26 17:45:10",
         "Time\tTotal\tDiffuse\tSun\tTemp", "05.12.26 17:46:00\t512,3\t87,0\t1,0\t21,4"},
        {"comma form with decimal commas writes points", german, Comma,
         "ZQ5 Logger Data file 05.12.26 17:45:10", "Time,Total,Diffuse,Sun,Temp",
         "05.12.26 17:46:00,512.3,87.0,1.0,21.4"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        const LocaleGuard locale(c.locale);
        EXPECT_EQ(LogFileHeader(Zq5(), Made, c.separator),
                  QStringList(
                      {c.firstLine, "ZQ5 v1.03 Ser No: 1234", "Reading Units: W.m-2", c.columns}));
        EXPECT_EQ(FileLine(Readings(), PeriodDate, PeriodEnd, TemperatureModel(), c.separator),
                  c.line);
    }
}

TEST(LogFileTest, StampWithCommasInTheCommaForm)
{
    // A regional long time such as "5:46:00 PM" has none, but a date format may.
    QLocale custom(QLocale::English, QLocale::UnitedStates);
    const LocaleGuard locale(custom);
    const QString line = FileLine(Readings(), PeriodDate, PeriodEnd, LineSettings(), Comma);
    EXPECT_EQ(line, QStringLiteral("12/5/26 5:46:00 PM,512.3,87.0,1.0"));
}

TEST(LogFileTest, ModelWordOfTheFirstLine)
{
    const struct
    {
        const char *version;
        const char *firstWords;
    } cases[] = {{"ZQ5 v1.03", "ZQ5 Logger Data file "},  {"VTA1 v1.0", "VTA1 Logger Data file "},
                 {"ZQ3 v2.1", "ZQ3 Logger Data file "},   {"ZQ5", "ZQ3&4 Logger Data file "},
                 {"ZQ5v1.03", "ZQ3&4 Logger Data file "}, {"ZQ55X v1", "ZQ3&4 Logger Data file "},
                 {"ZQ v1", "ZQ3&4 Logger Data file "},    {"", "ZQ3&4 Logger Data file "}};
    for (const auto &c : cases) {
        LogFileInfo info = Zq5();
        info.version = QString::fromLatin1(c.version);
        EXPECT_EQ(LogFileHeader(info, Made, Tab).first(),
                  QString::fromLatin1(c.firstWords) + QStringLiteral("05/12/2026 17:45:10"))
            << c.version;
    }
}

TEST(LogFileTest, HeaderWithIndividualSensors)
{
    const CalibrationValues factors{4096, 4080, 4128, 3840, 255, 4096, 65535, 256, 0};
    const char *const tabFactors =
        "Calibration values:\t4096\t4080\t4128\t3840\t255\t4096\t65535\t256\n";
    const struct
    {
        const char *name;
        const char *version;
        bool individual;
        QChar separator;
        QString tail; // from the units line on, one line each
    } cases[] = {
        {"ZQ3 with individual sensors", "ZQ3 v1.7", true, Tab,
         "Reading Units: W.m-2\tIndividual readings in umol.m-2.s-1\n" + QString(tabFactors) +
             "Time\tTotal\tDiffuse\tSun\tP0\tP1\tP2\tP3\tP4\tP5\tP6\tP7\tTemp"},
        {"ZQ3 v2 in the comma form: no temperature", "ZQ3 v2.1", true, Comma,
         "Reading Units: W.m-2,Individual readings in umol.m-2.s-1\n"
         "Calibration values:,4096,4080,4128,3840,255,4096,65535,256\n"
         "Time,Total,Diffuse,Sun,P0,P1,P2,P3,P4,P5,P6,P7"},
        {"ZQ5 with individual sensors: no note after the units", "ZQ5 v1.03", true, Tab,
         "Reading Units: W.m-2\n" + QString(tabFactors) +
             "Time\tTotal\tDiffuse\tSun\tP0\tP1\tP2\tP3\tP4\tP5\tP6\tP7\tTemp"},
        {"ZQ3 without individual sensors", "ZQ3 v1.7", false, Tab,
         "Reading Units: W.m-2\nTime\tTotal\tDiffuse\tSun\tTemp"},
        {"ZQ2: no temperature", "ZQ2 v1.4", false, Tab,
         "Reading Units: W.m-2\nTime\tTotal\tDiffuse\tSun"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        LogFileInfo info = Zq5();
        info.version = QString::fromLatin1(c.version);
        info.individual = c.individual;
        info.calValues = factors;
        const QStringList header = LogFileHeader(info, Made, c.separator);
        EXPECT_EQ(header.size(), c.individual ? 5 : 4);
        EXPECT_EQ(header.mid(2).join(QLatin1Char('\n')), c.tail);
    }
}

TEST(LogFileTest, HeaderTextsAreNotChangedInTheCommaForm)
{
    const LocaleGuard locale(QLocale(QLocale::German, QLocale::Germany));
    LogFileInfo info = Zq5();
    info.version = QStringLiteral("ZQ5 v1,03");
    info.units = QStringLiteral("Units: W.m-2, 1,5");
    const QStringList header = LogFileHeader(info, Made, Comma);
    EXPECT_EQ(header[1], QStringLiteral("ZQ5 v1,03 Ser No: 1234"));
    EXPECT_EQ(header[2], QStringLiteral("Reading Units: W.m-2, 1,5"));
}

TEST(LogFileTest, DataLineFields)
{
    LineSettings individual = TemperatureModel();
    individual.individual = true;
    LineSettings withChip = individual;
    withChip.testMenu = true;
    LineSettings klux;
    klux.fmt = QStringLiteral("0.00");
    LineSettings plainZq3v2; // no temperature column
    ReadingSums kluxSums;
    kluxSums.TotalSum = 12.345f;
    kluxSums.DiffuseSum = 3.2f;
    kluxSums.ReadingCount = 1;
    ReadingSums none;
    none.TotalSum = 5; // a failed reading may leave sums behind

    const struct
    {
        const char *name;
        ReadingSums sums;
        LineSettings settings;
        QChar separator;
        QString line;
    } cases[] = {
        {"individual sensors before the temperature", Readings(), individual, Tab,
         "05/12/2026 17:46:00\t512.3\t87.0\t1.0\t1000.1\t1010.1\t1020.1\t1030.1\t1040.1\t1050.1\t"
         "1060.1\t1070.1\t21.4"},
        {"chip temperature last, without heading", Readings(), withChip, Comma,
         "05/12/2026 17:46:00,512.3,87.0,1.0,1000.1,1010.1,1020.1,1030.1,1040.1,1050.1,1060.1,"
         "1070.1,21.4,25.1"},
        {"klux keeps two decimals", kluxSums, klux, Tab, "05/12/2026 17:46:00\t12.35\t3.20\t0.0"},
        {"no temperature column", Readings(), plainZq3v2, Tab,
         "05/12/2026 17:46:00\t512.3\t87.0\t1.0"},
        {"no reading in the tab form", none, TemperatureModel(), Tab,
         "05/12/2026 17:46:00\tbad readings"},
        {"no reading in the comma form", none, TemperatureModel(), Comma,
         "05/12/2026 17:46:00,bad readings"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(FileLine(c.sums, PeriodDate, PeriodEnd, c.settings, c.separator), c.line);
    }
}

class LogFileWriterTest : public ::testing::Test
{
protected:
    // What another program reading the file finds on the disk now.
    QByteArray onDisk() const
    {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
    }

    QTemporaryDir dir;
    QString path = dir.filePath(QStringLiteral("log.txt"));
    QString error;
};

TEST_F(LogFileWriterTest, EveryLineIsOnTheDiskAsSoonAsItIsWrittenOverAnyOlderFile)
{
    {
        QFile old(path);
        ASSERT_TRUE(old.open(QIODevice::WriteOnly));
        old.write("an older and longer file\r\nwith two lines\r\n");
    }
    LogFileWriter writer;
    ASSERT_TRUE(writer.create(path, error)) << error.toStdString();
    EXPECT_TRUE(writer.isOpen());
    EXPECT_EQ(onDisk(), QByteArray());
    ASSERT_TRUE(writer.writeLine(QStringLiteral("Time\tTotal"), error));
    EXPECT_EQ(onDisk(), QByteArray("Time\tTotal\r\n"));
    ASSERT_TRUE(writer.writeLine(QStringLiteral("05/12/2026 17:46:00\t512.3"), error));
    EXPECT_EQ(onDisk(), QByteArray("Time\tTotal\r\n05/12/2026 17:46:00\t512.3\r\n"));
    writer.close();
    EXPECT_FALSE(writer.isOpen());
    writer.close(); // a second close does nothing
    EXPECT_EQ(onDisk(), QByteArray("Time\tTotal\r\n05/12/2026 17:46:00\t512.3\r\n"));
}

TEST_F(LogFileWriterTest, FailuresSayWhy)
{
    LogFileWriter writer;
    EXPECT_FALSE(writer.writeLine(QStringLiteral("x"), error)) << "nothing open";
    EXPECT_FALSE(error.isEmpty());

    error.clear();
    EXPECT_FALSE(writer.create(dir.filePath(QStringLiteral("no/such/folder.txt")), error));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_FALSE(writer.isOpen());

    error.clear();
    ASSERT_TRUE(writer.create(QStringLiteral("/dev/full"), error));
    EXPECT_FALSE(writer.writeLine(QStringLiteral("x"), error));
    EXPECT_TRUE(error.contains(QStringLiteral("space"), Qt::CaseInsensitive))
        << error.toStdString();
}

} // namespace
