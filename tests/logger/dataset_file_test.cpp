// The dataset file's layout: the separator chosen by the file's name, the model text of
// the first heading, record lines in the tab and comma forms under English and German
// regional settings, and the exact bytes of a small file.
#include "LocaleGuard.h"
#include "QtPrinters.h"

#include "common/DateTimeDays.h"
#include "logger/DatasetFile.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

double Days(int year, int month, int day, int hour, int minute, int second)
{
    return DateTimeToDays(QDateTime(QDate(year, month, day), QTime(hour, minute, second)));
}

// The record 3A 5C 80 07 in units code 1, seven sunny readings out of ten.
DatasetRecord::Values WorkedExample()
{
    const DatasetRecord::Units units = DatasetRecord::UnitsFor(1);
    return DatasetRecord::Decode(QByteArray::fromHex("3a5c8007"), 0, units, 10);
}

TEST(DatasetFileTest, OnlyALowerCaseCsvEndingGivesCommas)
{
    const struct
    {
        const char *path;
        const char *separator;
    } cases[] = {
        {"/data/june.csv", ","}, {"/data/june.CSV", "\t"},     {"/data/june.txt", "\t"},
        {"/data/junecsv", ","},  {"/data/june.csv.txt", "\t"}, {"/data/june", "\t"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.path);
        EXPECT_EQ(DatasetFile::SeparatorFor(QString::fromLatin1(c.path)),
                  QString::fromLatin1(c.separator));
    }
}

TEST(DatasetFileTest, TheModelTextIsAFirstWordOfThreeOrFourCharacters)
{
    const struct
    {
        const char *version;
        const char *model;
    } cases[] = {
        {"ZQ3 v2.10", "ZQ3 "}, {"VTA1 v1.0", "VTA1 "},  {"ZQ5", "ZQ3&4 "},
        {"ZQ   v1", "ZQ3&4 "}, {"ZQ10AB v1", "ZQ3&4 "}, {"", "ZQ3&4 "},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.version);
        EXPECT_EQ(DatasetFile::ModelText(QString::fromLatin1(c.version)),
                  QString::fromLatin1(c.model));
    }
}

TEST(DatasetFileTest, RecordLinesFollowTheRegionalSettingsExceptForCommas)
{
    const struct
    {
        const char *name;
        QLocale locale;
        const char *separator;
        const char *line;
    } cases[] = {
        {"EnglishTabs", QLocale(QLocale::English, QLocale::UnitedKingdom), "\t",
         "05/12/2026 10:00:00\t284.7\t976.6\t0.7"},
        {"EnglishCommas", QLocale(QLocale::English, QLocale::UnitedKingdom), ",",
         "05/12/2026 10:00:00,284.7,976.6,0.7"},
        // Decimal commas stay in the tab form and become points in the comma form.
        {"GermanTabs", QLocale(QLocale::German, QLocale::Germany), "\t",
         "05.12.26 10:00:00\t284,7\t976,6\t0,7"},
        {"GermanCommas", QLocale(QLocale::German, QLocale::Germany), ",",
         "05.12.26 10:00:00,284.7,976.6,0.7"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        const LocaleGuard guard(c.locale);
        EXPECT_EQ(DatasetFile::RecordLine(QString::fromLatin1(c.separator),
                                          Days(2026, 12, 5, 10, 0, 0), WorkedExample(), "0.0"),
                  QString::fromLatin1(c.line));
    }
}

TEST(DatasetFileTest, AFileIsHeadingsSectionsAndRecordsWithCrLf)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("june.csv"));
    DatasetFile file;
    QString error;
    ASSERT_TRUE(file.create(path, QStringLiteral("ZQ3 v2.10"), QStringLiteral("1234"),
                            QDateTime(QDate(2026, 12, 5), QTime(17, 14, 8)), error))
        << error.toStdString();
    file.writeSection(QStringLiteral("Units: W.m-2"));
    file.writeRecord(Days(2026, 12, 5, 10, 0, 0), WorkedExample(), QStringLiteral("0.0"));
    // Lines reach the file when flushed, block by block.
    QFile written(path);
    ASSERT_TRUE(written.open(QIODevice::ReadOnly));
    EXPECT_EQ(written.readAll(), QByteArray("ZQ3 Data file 05/12/2026 17:14:08\r\n"
                                            "ZQ3 v2.10 Ser No: 1234\r\n"));
    ASSERT_TRUE(file.flush(error));
    EXPECT_EQ(written.readAll(), QByteArray("Reading Units: W.m-2\r\n"
                                            "Time,Total,Diffuse,Sun\r\n"
                                            "05/12/2026 10:00:00,284.7,976.6,0.7\r\n"));
    file.close();
}

} // namespace
