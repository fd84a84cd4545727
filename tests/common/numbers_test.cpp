// SPDX-License-Identifier: GPL-3.0-or-later
// Numbers read from reply texts (decimal and hexadecimal), rounded to whole numbers, and
// written through digit patterns in two locales; random texts and patterns never fail.
#include "common/HexText.h"
#include "common/NumberFormat.h"
#include "common/NumericText.h"
#include "common/TextPadding.h"

#include "LocaleGuard.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>

namespace {

const double Infinity = std::numeric_limits<double>::infinity();
const double NaN = std::numeric_limits<double>::quiet_NaN();

TEST(NumberText, ReadsTheLeadingDecimalNumberInAnyLocaleAndHexadecimalDigits)
{
    const std::pair<QString, double> rows[] = {
        {"", 0},       {"0", 0},           {"42", 42},     {" 12.5abc", 12.5}, {"-.5", -0.5},
        {"+7", 7},     {"1e3", 1000},      {"1E3", 1000},  {"2.5e-2", 0.025},  {"1e+2", 100},
        {"1e", 1},     {"1e+", 1},         {"1ex", 1},     {"1.2.3", 1.2},     {"\t1 2 3", 123},
        {"1\n2", 12},  {"- 5", -5},        {"1 e 2", 100}, {"+", 0},           {"-.", 0},
        {"1,5", 1},    {"S123", 0},        {"12)", 12},    {"5.", 5},          {"--5", 0},
        {"+-5", 0},    {"12.5\r\n", 12.5}, {"\r12", 0},    {"1e-999", 0},      {"00012", 12},
        {"1d3", 1},    {"1.5e3.2", 1500},  {"&H10", 0},    {"-0", 0},          {"-0e5", 0},
        {"-1e-999", 0}};
    for (const auto language : {QLocale::English, QLocale::German}) {
        const LocaleGuard locale{QLocale(language)};
        for (const auto &[text, value] : rows) {
            bool overflow = true;
            const double read = NumericValue(text, &overflow);
            EXPECT_DOUBLE_EQ(read, value) << text.left(30).toStdString();
            EXPECT_FALSE(overflow || (read == 0 && std::signbit(read))) << text.toStdString();
        }
    }
    EXPECT_DOUBLE_EQ(NumericValue("123.4,56.7,1") + NumericValue("0.000000000000000000001"), 123.4);
    EXPECT_DOUBLE_EQ(NumericValue(QString(400, '1') + "e-399"), 1.1111111111111111);
    EXPECT_DOUBLE_EQ(NumericValue("0." + QString(500, '0') + "1e501"), 1);
    // Too large for a double: 0, and an overflow when the caller asks.
    for (const char *text : {"1e999", "-1e999", "9e308", "1e99999999999999999999"}) {
        bool overflow = false;
        EXPECT_EQ(NumericValue(text, &overflow) + NumericValue(text), 0.0) << text;
        EXPECT_TRUE(overflow) << text;
    }
    // A whole field: the number and nothing after it but white space; "-" for none.
    const std::pair<QString, QString> fields[] = {
        {" 1 2.5\t", "12.5"}, {"-0", "0"},  {"5.", "5"},  {"12x", "-"},   {"", "-"},
        {"1e", "-"},          {"inf", "-"}, {"nan", "-"}, {"1e999", "-"}, {"12.5\r", "-"}};
    for (const auto &[text, whole] : fields) {
        const std::optional<double> value = WholeNumericValue(text);
        EXPECT_EQ(value ? QString::number(*value) : "-", whole) << text.toStdString();
    }

    // Hexadecimal: the last seven characters or nothing.
    const QList<std::pair<QString, int>> hexadecimal = {
        {"A5", 0xA5}, {"ff", 0xFF}, {"FF", 0xFF}, {"1G", 0},      {"", 0},    {"0", 0},
        {"10", 0x10}, {"0F", 0xF},  {"F0", 0xF0}, {"123456G", 0}, {" A5", 0}, {"A5 ", 0},
        {"-1", 0},    {"0x10", 0},  {"7", 7},     {"a", 10},      {"C", 12},  {"00", 0}};
    // Of a longer text only the last seven characters count.
    const QList<std::pair<QString, int>> longer = {{"fFfFfFf", 0xFFFFFFF},
                                                   {"1FFFFFFF", 0xFFFFFFF},
                                                   {"G1234567", 0x1234567},
                                                   {"12345678901", 0x5678901}};
    for (const auto &[text, value] : hexadecimal + longer)
        EXPECT_EQ(HexToValue(text), value) << text.toStdString();
    EXPECT_EQ(HexToValue("\uFB001") + HexToValue("\uFF11"), 0); // a ligature "ff", a full-width 1
}

TEST(RoundHalfEven, RoundsHalvesToEvenAndToInt16AndToInt32SayWhatDoesNotFit)
{
    const std::pair<double, double> halves[] = {
        {0.4, 0},  {0.5, 0},   {0.6, 1},   {1.5, 2},   {2.5, 2},    {3.5, 4},    {-0.4, 0},
        {-0.5, 0}, {-1.5, -2}, {-2.5, -2}, {-3.5, -4}, {2.4999, 2}, {-2.51, -3}, {4097.5, 4098}};
    for (const auto &[value, rounded] : halves) {
        EXPECT_EQ(QString::number(RoundHalfEven(value), 'f', 0), QString::number(rounded)) << value;
        EXPECT_TRUE(ToInt16(value) == rounded && ToInt32(value) == rounded) << value;
    }
    // (value, to 16 bits, to 32 bits; "-" where it does not fit)
    const std::tuple<double, const char *, const char *> edges[] = {
        {32767.4, "32767", "32767"}, {32767.5, "-", "32768"},  {-32768.5, "-32768", "-32768"},
        {-32769, "-", "-32769"},     {2147483647.5, "-", "-"}, {-2147483648.0, "-", "-2147483648"},
        {-2147483649.0, "-", "-"},   {NaN, "-", "-"},          {Infinity, "-", "-"},
        {-Infinity, "-", "-"}};
    const auto text = [](const auto &whole) { return whole ? QString::number(*whole) : "-"; };
    for (const auto &[value, int16, int32] : edges)
        EXPECT_EQ(text(ToInt16(value)) + " " + text(ToInt32(value)), int16 + QString(" ") + int32);
    EXPECT_TRUE(std::isnan(RoundHalfEven(NaN)) && RoundHalfEven(-Infinity) == -Infinity &&
                RoundHalfEven(1e16) == 1e16);
}

TEST(FormatNumber, PatternsRoundTheDecimalTextInTheLocaleAndColumnsAlignRight)
{
    // (value, pattern, text in en_GB); in de_DE the first "." is a ",".
    using Row = std::tuple<double, const char *, const char *>;
    const QList<Row> readings = {
        {0.0, "###0.0", "0.0"},    {0.05, "###0.0", "0.1"},     {0.04, "###0.0", "0.0"},
        {0.25, "###0.0", "0.3"},   {0.15, "###0.0", "0.2"},     {-0.04, "###0.0", "0.0"},
        {-0.05, "###0.0", "-0.1"}, {99.96, "###0.0", "100.0"},  {0.005, "##0.00", "0.01"},
        {2.675, "##0.00", "2.68"}, {-1.005, "##0.00", "-1.01"}, {9.999, "##0.00", "10.00"},
        {512.34, "0.0", "512.3"},  {-21.45, "0.0", "-21.5"},    {-0.001, "0.00", "0.00"},
        {0.5, "  0.0", "  0.5"},   {-0.5, "  0.0", "  -0.5"},   {1.25, "0.0.0", "1.2.5"},
        {12.3, ".0", "12.3"},      {1.2, "0.#0", "1.20"},       {0.5, "#.00", ".50"}};
    const QList<Row> wholes = {{2.5, "0", "3"},     {-7.5, "0", "-8"},   {-0.4, "0", "0"},
                               {0, "#", ""},        {1.0, "0.##", "1."}, {5, "00", "05"},
                               {5, "kB 0", "kB 5"}, {-5, "(0)", "(-5)"}, {3, "", "3"},
                               {NaN, "0.0", "NaN"}, {3, "0", "3"},       {4096, "0", "4096"}};
    const QList<Row> wide = {{1234.56, "###0.0", "1234.6"},     {1234567.89, "###0.0", "1234567.9"},
                             {-12.34, "###0.0", "-12.3"},       {12.345, "##0.00", "12.35"},
                             {12345.67, " ###0.0", " 12345.7"}, {-3.25, " ###0.0", " -3.3"},
                             {21.44, " ##0.0", " 21.4"},        {1234.5, " ##0.0", " 1234.5"},
                             {1.0005, "#0.000", "1.001"},       {123.4567, "#0.000", "123.457"},
                             {268435455, "0", "268435455"},     {Infinity, "0.0", "Infinity"},
                             {-Infinity, "0.0", "-Infinity"},   {-1e-300, "0.00", "0.00"}};
    for (const auto &[value, pattern, text] : readings + wholes + wide) {
        const LocaleGuard uk{QLocale(QLocale::English, QLocale::UnitedKingdom)};
        EXPECT_EQ(FormatNumber(value, pattern), text) << value << " " << pattern;
        const LocaleGuard germany{QLocale(QLocale::German, QLocale::Germany)};
        const auto point = QString(text).indexOf('.');
        EXPECT_EQ(FormatNumber(value, pattern),
                  point < 0 ? text : QString(text).replace(point, 1, ','));
    }
    // Every integer digit is written, however many.
    EXPECT_EQ(FormatNumber(1e20, "###0.0"), "100000000000000000000.0");
    const QString largest = FormatNumber(std::numeric_limits<double>::max(), "0");
    EXPECT_TRUE(largest.size() == 309 && largest.startsWith("17976931348623157"));
    EXPECT_EQ(FormatNumber(std::numeric_limits<double>::denorm_min(), "0.00"), "0.00");

    const LocaleGuard uk{QLocale(QLocale::English, QLocale::UnitedKingdom)};
    // As doubles these are 2.67499995..., 0.0500000007..., 12.3500003...: the single's
    // own digits decide, as for a reading averaged in single precision.
    const std::tuple<float, const char *, const char *> singles[] = {
        {2.675f, "0.00", "2.68"},        {0.05f, "0.0", "0.1"},          {12.35f, "0.0", "12.4"},
        {1234.56f, "###0.0", "1234.6"},  {0.25f, "0.0", "0.3"},          {-21.45f, "0.0", "-21.5"},
        {100000.05f, "0.0", "100000.1"}, {16777216.0f, "0", "16777216"}, {1e-8f, "0.0", "0.0"}};
    for (const auto &[value, pattern, text] : singles)
        EXPECT_EQ(FormatNumber(value, pattern), text) << value << " " << pattern;
    EXPECT_EQ(FormatNumber(-std::numeric_limits<float>::infinity(), "0.0"), "-Infinity");
    EXPECT_EQ(FormatNumber(qint16(-3), "0.0") + FormatNumber(4294967295u, "0"), "-3.04294967295");
    // Right-aligned in a column of n characters.
    const std::tuple<const char *, int, const char *> columns[] = {
        {"512.3", 8, "   512.3"}, {"12345678", 8, "12345678"}, {"123456789", 8, "123456789"},
        {"", 3, "   "},           {"abc", 0, "abc"},           {"abc", -5, "abc"}};
    for (const auto &[text, width, padded] : columns)
        EXPECT_EQ(PadLeft(text, width), padded) << text << " in " << width;
}

TEST(NumberTexts, RandomTextsAndPatternsNeverFail)
{
    std::mt19937 random(20261205);
    const auto pick = [&](const QString &alphabet, int most) {
        QString text;
        for (int n = std::uniform_int_distribution<int>(0, most)(random); n > 0; --n)
            text += alphabet[std::uniform_int_distribution<int>(0, alphabet.size() - 1)(random)];
        return text;
    };
    const QString characters = "0123456789012345678.....eeEE++--   \t\n\rabcdefABCDEFxG,()S&H" +
                               QString::fromUtf8("\xC3\x9F\xEF\xAC\x80\xD9\xA3") + QChar(0xD800) +
                               QChar(0);
    for (int i = 0; i < 5000; ++i) {
        const QString text = pick(characters, 40);
        bool overflow = false;
        const double value = NumericValue(text, &overflow);
        ASSERT_TRUE(std::isfinite(value) && (!overflow || value == 0)) << text.toStdString();
        ASSERT_TRUE(HexToValue(text) >= 0 && HexToValue(text) <= 268435455) << text.toStdString();
        // Every literal character of a pattern is still there, written as double or single.
        const QString pattern = pick("##00.. -,kB", 12);
        const double number = std::pow(10, std::uniform_real_distribution<double>(-20, 20)(random));
        for (const QString &written :
             {FormatNumber(-number, pattern), FormatNumber(float(number), pattern)})
            for (const QChar c : pattern)
                ASSERT_TRUE(QString("#0.").contains(c) || written.contains(c))
                    << pattern.toStdString();
    }
}

} // namespace
