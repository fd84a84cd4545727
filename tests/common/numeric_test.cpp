#include "common/HexText.h"
#include "common/NumericText.h"

#include "LocaleGuard.h"

#include <QLocale>
#include <QString>

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>

namespace {

struct NumericCase
{
    const char *text;
    double expected;
};

class NumericValueTest : public ::testing::TestWithParam<NumericCase>
{
};

TEST_P(NumericValueTest, ReadsTheLeadingNumber)
{
    const NumericCase c = GetParam();
    bool overflow = true;
    EXPECT_DOUBLE_EQ(NumericValue(QString::fromUtf8(c.text), &overflow), c.expected)
        << "text: \"" << c.text << "\"";
    EXPECT_FALSE(overflow);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, NumericValueTest,
    ::testing::Values(NumericCase{"", 0}, NumericCase{"0", 0}, NumericCase{"42", 42},
                      NumericCase{" 12.5abc", 12.5}, NumericCase{"-.5", -0.5}, NumericCase{"+7", 7},
                      NumericCase{"1e3", 1000}, NumericCase{"1E3", 1000},
                      NumericCase{"2.5e-2", 0.025}, NumericCase{"1e+2", 100}, NumericCase{"1e", 1},
                      NumericCase{"1e+", 1}, NumericCase{"1ex", 1}, NumericCase{"1.2.3", 1.2},
                      NumericCase{"\t1 2 3", 123}, NumericCase{"1\n2", 12}, NumericCase{"- 5", -5},
                      NumericCase{"1 e 2", 100}, NumericCase{"+", 0}, NumericCase{"-", 0},
                      NumericCase{".", 0}, NumericCase{"-.", 0}, NumericCase{"1,5", 1},
                      NumericCase{"S123", 0}, NumericCase{"12)", 12}, NumericCase{"5.", 5},
                      NumericCase{"--5", 0}, NumericCase{"+-5", 0}, NumericCase{"12.5\r\n", 12.5},
                      NumericCase{"\r12", 0}, NumericCase{"1e-999", 0},
                      NumericCase{"0.000000000000000000001", 1e-21}, NumericCase{"00012", 12},
                      NumericCase{"123.4,56.7,1", 123.4}, NumericCase{"  21.4 C", 21.4},
                      NumericCase{"1.5e3.2", 1500}, NumericCase{"1d3", 1}, NumericCase{"&H10", 0}));

TEST(NumericValue, DecimalPointIsAlwaysAFullStop)
{
    LocaleGuard german(QLocale(QLocale::German, QLocale::Germany));
    EXPECT_DOUBLE_EQ(NumericValue(QStringLiteral("12.5")), 12.5);
    EXPECT_DOUBLE_EQ(NumericValue(QStringLiteral("12,5")), 12.0);
}

TEST(NumericValue, NeverGivesNegativeZero)
{
    for (const char *text : {"-0", "-0.0", "-", "-0e5", "-1e-999"}) {
        const double v = NumericValue(QString::fromLatin1(text));
        EXPECT_EQ(v, 0.0) << text;
        EXPECT_FALSE(std::signbit(v)) << text;
    }
}

TEST(NumericValue, ReportsOverflowAndGivesZero)
{
    for (const char *text : {"1e999", "-1e999", "1e99999999999999999999", "9e308"}) {
        bool overflow = false;
        EXPECT_EQ(NumericValue(QString::fromLatin1(text), &overflow), 0.0) << text;
        EXPECT_TRUE(overflow) << text;
    }
    // Without the flag the caller still gets a finite value.
    EXPECT_EQ(NumericValue(QStringLiteral("1e999")), 0.0);
}

TEST(NumericValue, ReadsLongDigitStrings)
{
    const QString many = QString(400, QLatin1Char('1')) + QStringLiteral("e-399");
    EXPECT_NEAR(NumericValue(many), 1.1111111111111111, 1e-15);
    EXPECT_DOUBLE_EQ(NumericValue(QStringLiteral("0.") + QString(500, QLatin1Char('0')) +
                                  QStringLiteral("1e501")),
                     1.0);
}

struct RoundCase
{
    double value;
    double expected;
};

TEST(RoundHalfEven, RoundsHalvesToEven)
{
    const RoundCase cases[] = {
        {0.0, 0.0},   {0.4, 0.0},    {0.5, 0.0},         {0.6, 1.0},       {1.5, 2.0},
        {2.5, 2.0},   {3.5, 4.0},    {-0.5, 0.0},        {-1.5, -2.0},     {-2.5, -2.0},
        {-3.5, -4.0}, {2.4999, 2.0}, {-2.51, -3.0},      {4096.5, 4096.0}, {4097.5, 4098.0},
        {1e16, 1e16}, {-0.4, 0.0},   {32767.5, 32768.0},
    };
    for (const RoundCase &c : cases) {
        const double r = RoundHalfEven(c.value);
        EXPECT_EQ(r, c.expected) << c.value;
        EXPECT_FALSE(r == 0.0 && std::signbit(r)) << "negative zero from " << c.value;
    }
    EXPECT_TRUE(std::isnan(RoundHalfEven(std::numeric_limits<double>::quiet_NaN())));
    EXPECT_TRUE(std::isinf(RoundHalfEven(std::numeric_limits<double>::infinity())));
}

TEST(ToInt16, RoundsOrReportsOverflow)
{
    struct Case
    {
        double value;
        std::optional<qint16> expected;
    };
    const Case cases[] = {
        {0.0, 0},
        {2.5, 2},
        {-2.5, -2},
        {1000.4, 1000},
        {32767.0, 32767},
        {32767.4, 32767},
        {32767.5, std::nullopt}, // rounds to 32768
        {32766.5, 32766},
        {-32768.0, -32768},
        {-32768.5, -32768}, // halves to even
        {-32769.0, std::nullopt},
        {1e10, std::nullopt},
        {std::numeric_limits<double>::quiet_NaN(), std::nullopt},
        {std::numeric_limits<double>::infinity(), std::nullopt},
        {-std::numeric_limits<double>::infinity(), std::nullopt},
    };
    for (const Case &c : cases)
        EXPECT_EQ(ToInt16(c.value), c.expected) << c.value;
}

TEST(ToInt32, RoundsOrReportsOverflow)
{
    struct Case
    {
        double value;
        std::optional<qint32> expected;
    };
    const Case cases[] = {
        {86400.0, 86400},
        {2147483647.0, 2147483647},
        {2147483647.5, std::nullopt},
        {-2147483648.0, std::numeric_limits<qint32>::min()},
        {-2147483649.0, std::nullopt},
        {0.5, 0},
        {std::numeric_limits<double>::quiet_NaN(), std::nullopt},
    };
    for (const Case &c : cases)
        EXPECT_EQ(ToInt32(c.value), c.expected) << c.value;
}

TEST(HexToValue, ReadsHexadecimalText)
{
    struct Case
    {
        const char *text;
        int expected;
    };
    const Case cases[] = {
        {"A5", 165},
        {"ff", 255},
        {"FF", 255},
        {"1G", 0},
        {"", 0},
        {"0", 0},
        {"10", 16},
        {"0F", 15},
        {"F0", 240},
        {"fFfFfFf", 268435455},
        {"FFFFFFF", 268435455},
        {"1FFFFFFF", 268435455}, // only the last 7 characters are read
        {"G1234567", 0x1234567}, // the bad character falls off the front
        {"123456G", 0},
        {" A5", 0},
        {"A5 ", 0},
        {"-1", 0},
        {"0x10", 0},
        {"12345678901", 0x5678901},
    };
    for (const Case &c : cases)
        EXPECT_EQ(HexToValue(QString::fromUtf8(c.text)), c.expected) << c.text;
}

TEST(HexToValue, IgnoresLettersOutsideAscii)
{
    // A ligature that upper-cases to "FF" is not a hexadecimal digit.
    EXPECT_EQ(HexToValue(QString::fromUtf8("\xEF\xAC\x80"
                                           "12")),
              0);
    // Full-width digits are not digits either.
    EXPECT_EQ(HexToValue(QString::fromUtf8("\xEF\xBC\x91")), 0);
}

// Random texts made of the characters that matter to the readers, plus some that do not.
QString randomText(std::mt19937 &rng)
{
    static const QString alphabet =
        QStringLiteral("0123456789012345678.....eeEE++--   \t\n\rabcdefABCDEFxG,()S&H") +
        QString::fromUtf8("\xC3\x9F\xEF\xAC\x80\xD9\xA3") + QChar(0xD800) + QChar(0);
    std::uniform_int_distribution<int> length(0, 40);
    std::uniform_int_distribution<int> pick(0, static_cast<int>(alphabet.size()) - 1);
    QString text;
    const int n = length(rng);
    for (int i = 0; i < n; ++i)
        text += alphabet[pick(rng)];
    return text;
}

TEST(NumericFuzz, RandomTextsGiveFiniteValues)
{
    std::mt19937 rng(20261205);
    for (int i = 0; i < 5000; ++i) {
        const QString text = randomText(rng);
        bool overflow = false;
        const double v = NumericValue(text, &overflow);
        ASSERT_TRUE(std::isfinite(v)) << text.toStdString();
        if (overflow) {
            ASSERT_EQ(v, 0.0);
        }
        const int hex = HexToValue(text);
        ASSERT_GE(hex, 0);
        ASSERT_LE(hex, 268435455);
    }
}

} // namespace
