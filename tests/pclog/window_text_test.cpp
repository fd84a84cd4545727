// The texts behind the logging window's controls: the period lists and what a period text
// means in seconds, the output box's 10000 characters, and the title with the file name.
#include "QtPrinters.h"

#include "pclog/LogPeriods.h"
#include "pclog/OutputText.h"
#include "pclog/WindowTitle.h"

#include <gtest/gtest.h>

#include <optional>

namespace {

TEST(WindowTextTest, PeriodLists)
{
    EXPECT_EQ(LogPeriodEntries(),
              QStringList({"1s", "2s", "5s", "10s", "30s", "1m", "5m", "10m", "30m", "60m"}));
    EXPECT_EQ(LogPeriodEntriesFrom(3),
              QStringList({"10s", "30s", "1m", "5m", "10m", "30m", "60m"}));
    EXPECT_EQ(LogPeriodEntriesFrom(9), QStringList({"60m"}));
    EXPECT_EQ(LogPeriodEntriesFrom(-1), LogPeriodEntries());
}

TEST(WindowTextTest, SecondsOfAPeriodText)
{
    const struct
    {
        const char *text;
        std::optional<qint16> seconds;
        bool usable;
    } cases[] = {
        {"1s", 1, true},     {"10s", 10, true},    {"1m", 60, true},        {"60m", 3600, true},
        {"90", 90, true},    {"1.5m", 90, true},   {"2.5", 2, true},        {"3.5", 4, true},
        {"1M", 1, true},     {" 5 m", 300, true},  {"0s", 0, false},        {"0.4", 0, false},
        {"abc", 0, false},   {"-10s", -10, false}, {"32767", 32767, true},  {"32768", {}, false},
        {"600m", {}, false}, {"1e999", {}, false}, {"546.1m", 32766, true},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(PeriodSeconds(QString::fromLatin1(c.text)), c.seconds) << c.text;
        EXPECT_EQ(UsablePeriodSeconds(QString::fromLatin1(c.text)).has_value(), c.usable) << c.text;
    }
}

QString Lines(int count, int width)
{
    QString text;
    for (int i = 0; i < count; ++i)
        text +=
            QString::number(i).rightJustified(width - 2, QLatin1Char('x')) + QStringLiteral("\r\n");
    return text;
}

TEST(WindowTextTest, OutputKeepsTheLast10000CharactersFromAWholeLine)
{
    OutputText box;
    EXPECT_FALSE(box.append(Lines(100, 100))); // exactly 10000
    EXPECT_EQ(box.text().size(), 10000);

    EXPECT_TRUE(box.append(QStringLiteral("new line\r\n")));
    EXPECT_LE(box.text().size(), 10000);
    EXPECT_TRUE(box.text().startsWith(QStringLiteral("xxxxxxxxx")));
    EXPECT_TRUE(box.text().endsWith(QStringLiteral("new line\r\n")));
    // The cut fell inside line 0; line 0 is dropped whole, line 1 opens the box.
    EXPECT_EQ(box.text().left(100), Lines(2, 100).mid(100));

    // Lines of other lengths: the box always starts right after a line end.
    for (int width : {3, 7, 61, 93, 250}) {
        OutputText other;
        for (int i = 0; i < 400; ++i) {
            other.append(Lines(1, width));
            ASSERT_LE(other.text().size(), 10000);
        }
        EXPECT_EQ(other.text().size() % width, 0) << width;
        EXPECT_TRUE(other.text().endsWith(QStringLiteral("\r\n")));
    }
}

TEST(WindowTextTest, OutputCutBetweenCarriageReturnAndLineFeed)
{
    OutputText box;
    box.append(QStringLiteral("a\r") + QString(9998, QLatin1Char('b')) + QStringLiteral("\r\n"));
    box.append(QStringLiteral("c\r\n")); // the last 10000 start with "\nbbbb"
    EXPECT_EQ(box.text(), QStringLiteral("c\r\n"));
}

TEST(WindowTextTest, TitleWithTheFileName)
{
    const auto characters = [](const QString &text) { return static_cast<int>(text.size()); };
    const QString name = QStringLiteral("/home/ann/Documents/run.txt"); // 27 characters
    EXPECT_EQ(TitleWithFile(name, 27, characters), QStringLiteral("Vantlog ") + name);
    EXPECT_EQ(TitleWithFile(name, 26, characters), QStringLiteral("Vantlog ...") + name.right(26));
    EXPECT_EQ(TitleWithFile(name, 7, characters), QStringLiteral("Vantlog ...run.txt"));
    EXPECT_EQ(TitleWithFile(name, 0, characters), QStringLiteral("Vantlog ...t"));
    EXPECT_EQ(TitleWithFile(name, -500, characters), QStringLiteral("Vantlog ...t"));
}

} // namespace
