#include "common/NumberFormat.h"
#include "common/TextPadding.h"

#include "LocaleGuard.h"

#include <QLocale>
#include <QString>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <random>

namespace {

struct PatternCase
{
    double value;
    const char *pattern;
    const char *british; // en_GB
    const char *german;  // de_DE: decimal comma
};

const PatternCase patternCases[] = {
    // "###0.0": readings in W.m-2 and umol.m-2.s-1
    {0.0, "###0.0", "0.0", "0,0"},
    {0.05, "###0.0", "0.1", "0,1"},
    {0.04, "###0.0", "0.0", "0,0"},
    {0.25, "###0.0", "0.3", "0,3"},
    {0.15, "###0.0", "0.2", "0,2"},
    {1234.56, "###0.0", "1234.6", "1234,6"},
    {12345.6, "###0.0", "12345.6", "12345,6"},
    {1234567.89, "###0.0", "1234567.9", "1234567,9"},
    {-12.34, "###0.0", "-12.3", "-12,3"},
    {-0.04, "###0.0", "0.0", "0,0"},
    {-0.05, "###0.0", "-0.1", "-0,1"},
    {99.96, "###0.0", "100.0", "100,0"},
    {1e20, "###0.0", "100000000000000000000.0", "100000000000000000000,0"},
    // "##0.00": readings in klux
    {0.0, "##0.00", "0.00", "0,00"},
    {0.05, "##0.00", "0.05", "0,05"},
    {0.25, "##0.00", "0.25", "0,25"},
    {0.005, "##0.00", "0.01", "0,01"},
    {12.345, "##0.00", "12.35", "12,35"},
    {2.675, "##0.00", "2.68", "2,68"},
    {1234.56, "##0.00", "1234.56", "1234,56"},
    {-1.005, "##0.00", "-1.01", "-1,01"},
    {9.999, "##0.00", "10.00", "10,00"},
    // "0.0" and "0.00": file fields
    {0.0, "0.0", "0.0", "0,0"},
    {0.05, "0.0", "0.1", "0,1"},
    {512.34, "0.0", "512.3", "512,3"},
    {1234.56, "0.0", "1234.6", "1234,6"},
    {-21.45, "0.0", "-21.5", "-21,5"},
    {0.25, "0.00", "0.25", "0,25"},
    {1234.56, "0.00", "1234.56", "1234,56"},
    {-0.001, "0.00", "0.00", "0,00"},
    // "  0.0": the sun fraction
    {0.0, "  0.0", "  0.0", "  0,0"},
    {0.5, "  0.0", "  0.5", "  0,5"},
    {1.0, "  0.0", "  1.0", "  1,0"},
    {0.05, "  0.0", "  0.1", "  0,1"},
    {-0.5, "  0.0", "  -0.5", "  -0,5"},
    // " ###0.0": individual sensors
    {0.0, " ###0.0", " 0.0", " 0,0"},
    {2500.0, " ###0.0", " 2500.0", " 2500,0"},
    {12345.67, " ###0.0", " 12345.7", " 12345,7"},
    {-3.25, " ###0.0", " -3.3", " -3,3"},
    // " ##0.0": temperatures
    {21.44, " ##0.0", " 21.4", " 21,4"},
    {-5.0, " ##0.0", " -5.0", " -5,0"},
    {0.05, " ##0.0", " 0.1", " 0,1"},
    {1234.5, " ##0.0", " 1234.5", " 1234,5"},
    // "#0.000": spread ratio
    {1.0, "#0.000", "1.000", "1,000"},
    {0.5, "#0.000", "0.500", "0,500"},
    {1.0005, "#0.000", "1.001", "1,001"},
    {12.3456, "#0.000", "12.346", "12,346"},
    {123.4567, "#0.000", "123.457", "123,457"},
    // "0": whole numbers
    {4096.0, "0", "4096", "4096"},
    {0.0, "0", "0", "0"},
    {2.5, "0", "3", "3"},
    {0.4, "0", "0", "0"},
    {-7.5, "0", "-8", "-8"},
    {-0.4, "0", "0", "0"},
    {268435455.0, "0", "268435455", "268435455"},
};

class FormatNumberTest : public ::testing::TestWithParam<PatternCase>
{
};

TEST_P(FormatNumberTest, BritishLocale)
{
    const PatternCase c = GetParam();
    LocaleGuard locale(QLocale(QLocale::English, QLocale::UnitedKingdom));
    EXPECT_EQ(FormatNumber(c.value, QString::fromLatin1(c.pattern)).toStdString(), c.british)
        << c.value << " with \"" << c.pattern << "\"";
}

TEST_P(FormatNumberTest, GermanLocale)
{
    const PatternCase c = GetParam();
    LocaleGuard locale(QLocale(QLocale::German, QLocale::Germany));
    EXPECT_EQ(FormatNumber(c.value, QString::fromLatin1(c.pattern)).toStdString(), c.german)
        << c.value << " with \"" << c.pattern << "\"";
}

INSTANTIATE_TEST_SUITE_P(Patterns, FormatNumberTest, ::testing::ValuesIn(patternCases));

TEST(FormatNumber, SingleValuesRoundOnTheirSevenDigits)
{
    struct Case
    {
        float value;
        const char *pattern;
        const char *expected;
    };
    // As doubles these are 2.67499995..., 0.0500000007..., 12.3500003...: the single's
    // own digits decide, as for a reading averaged in single precision.
    const Case cases[] = {
        {2.675f, "0.00", "2.68"},        {0.05f, "0.0", "0.1"},          {12.35f, "0.0", "12.4"},
        {1234.56f, "###0.0", "1234.6"},  {0.25f, "0.0", "0.3"},          {-21.45f, "0.0", "-21.5"},
        {100000.05f, "0.0", "100000.1"}, {16777216.0f, "0", "16777216"}, {1e-8f, "0.0", "0.0"},
    };
    for (const Case &c : cases)
        EXPECT_EQ(FormatNumber(c.value, QString::fromLatin1(c.pattern)).toStdString(), c.expected)
            << c.value << " with \"" << c.pattern << "\"";
}

TEST(FormatNumber, WholeNumbersAndOtherPatterns)
{
    struct Case
    {
        double value;
        const char *pattern;
        const char *expected;
    };
    const Case cases[] = {
        {5, "#", "5"},         {0, "#", ""},
        {0.5, "#.00", ".50"},  {12.3, ".0", "12.3"},
        {1.5, "0.#", "1.5"},   {1.0, "0.##", "1."},
        {1.2, "0.#0", "1.20"}, {5, "00", "05"},
        {123, "0", "123"},     {5, "kB 0", "kB 5"},
        {5, "0 kB", "5 kB"},   {-5, "(0)", "(-5)"},
        {3, "", "3"},          {1.25, "0.0.0", "1.2.5"},
    };
    for (const Case &c : cases)
        EXPECT_EQ(FormatNumber(c.value, QString::fromLatin1(c.pattern)).toStdString(), c.expected)
            << c.value << " with \"" << c.pattern << "\"";

    EXPECT_EQ(FormatNumber(4096, QStringLiteral("0")), QStringLiteral("4096"));
    EXPECT_EQ(FormatNumber(qint16(-3), QStringLiteral("0.0")), QStringLiteral("-3.0"));
    EXPECT_EQ(FormatNumber(4294967295u, QStringLiteral("0")), QStringLiteral("4294967295"));
}

TEST(FormatNumber, NonNumbersAreNamed)
{
    EXPECT_EQ(FormatNumber(std::numeric_limits<double>::quiet_NaN(), QStringLiteral("0.0")),
              QStringLiteral("NaN"));
    EXPECT_EQ(FormatNumber(std::numeric_limits<double>::infinity(), QStringLiteral("0.0")),
              QStringLiteral("Infinity"));
    EXPECT_EQ(FormatNumber(-std::numeric_limits<float>::infinity(), QStringLiteral("0.0")),
              QStringLiteral("-Infinity"));
}

TEST(FormatNumber, ExtremeMagnitudes)
{
    const QString largest = FormatNumber(std::numeric_limits<double>::max(), QStringLiteral("0"));
    EXPECT_EQ(largest.size(), 309);
    EXPECT_TRUE(largest.startsWith(QStringLiteral("17976931348623157")));
    EXPECT_EQ(FormatNumber(std::numeric_limits<double>::denorm_min(), QStringLiteral("0.00")),
              QStringLiteral("0.00"));
}

TEST(FormatNumber, RandomPatternsAndValuesNeverFail)
{
    const QString alphabet = QStringLiteral("##00.. -,kB");
    const double specials[] = {0.0,
                               -0.0,
                               0.5,
                               -2.5,
                               9.995,
                               1e-300,
                               1e300,
                               -1e300,
                               std::numeric_limits<double>::max(),
                               std::numeric_limits<double>::denorm_min()};
    std::mt19937 rng(4096);
    std::uniform_int_distribution<int> length(0, 12);
    std::uniform_int_distribution<int> pick(0, static_cast<int>(alphabet.size()) - 1);
    std::uniform_real_distribution<double> exponent(-20.0, 20.0);
    std::uniform_int_distribution<int> special(0, static_cast<int>(std::size(specials)) - 1);
    for (int i = 0; i < 3000; ++i) {
        QString pattern;
        for (int n = length(rng); n > 0; --n)
            pattern += alphabet[pick(rng)];
        const double value = i % 4 == 0 ? specials[special(rng)]
                                        : (i % 2 ? -1.0 : 1.0) * std::pow(10.0, exponent(rng));
        const QString text = FormatNumber(value, pattern);
        const double floatMax = std::numeric_limits<float>::max();
        const QString single =
            FormatNumber(static_cast<float>(std::clamp(value, -floatMax, floatMax)), pattern);
        // Every literal character of the pattern is still there.
        for (const QChar c : pattern) {
            if (c == QLatin1Char('#') || c == QLatin1Char('0') || c == QLatin1Char('.'))
                continue;
            ASSERT_TRUE(text.contains(c)) << pattern.toStdString() << " " << value;
            ASSERT_TRUE(single.contains(c)) << pattern.toStdString() << " " << value;
        }
    }
}

TEST(PadLeft, RightAlignsInAColumn)
{
    struct Case
    {
        const char *text;
        int width;
        const char *expected;
    };
    const Case cases[] = {
        {"512.3", 8, "   512.3"}, {"12345678", 8, "12345678"}, {"123456789", 8, "123456789"},
        {"", 3, "   "},           {"abc", 0, "abc"},           {"abc", -5, "abc"},
        {" 21.4", 7, "   21.4"},
    };
    for (const Case &c : cases)
        EXPECT_EQ(PadLeft(QString::fromLatin1(c.text), c.width).toStdString(), c.expected)
            << "\"" << c.text << "\" in " << c.width;
}

} // namespace
