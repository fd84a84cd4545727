#include "SimBench.h"

#include "LocaleGuard.h"

#include <QRegularExpression>

#include <cmath>

#include <gtest/gtest.h>

namespace {

const QByteArray Prompt("\r\n\xAF");

QString show(const QByteArray &bytes)
{
    QString out;
    for (char c : bytes) {
        const auto byte = static_cast<quint8>(c);
        if (byte >= 0x20 && byte < 0x7F)
            out += QChar(byte);
        else
            out += QStringLiteral("<%1>").arg(byte, 2, 16, QChar('0'));
    }
    return out;
}

#define EXPECT_BYTES(actual, expected)                                                             \
    EXPECT_EQ(show(actual).toStdString(), show(expected).toStdString())

// The leading number of a text, read with "." whatever the locale.
double leadingNumber(const QByteArray &text)
{
    static const QRegularExpression number(QStringLiteral("^\\s*[-+]?\\d+(\\.\\d+)?"));
    const auto match = number.match(QString::fromLatin1(text));
    return match.hasMatch() ? match.captured(0).trimmed().toDouble() : 0.0;
}

} // namespace

TEST(Instrument, AnswersEachCommandWithTheExactBytesOfItsModel)
{
    struct Row
    {
        SimModel model;
        QByteArray identification;
        QByteArray details;
        QByteArray ratio;
    };
    const QList<Row> rows{
        {SimModel::ZQ2, "IZQ2 v1.4\rUnits: umol.m-2.s-1\r5012mV Battery\r1204\r\r",
         "X?\rTEST:", "T?\rTEST:"},
        {SimModel::ZQ3v1, "IZQ3 v1.7\rUnits: umol.m-2.s-1\r5006mV Battery\r3117\r\r",
         "X?\rTEST:", "T?\rTEST:"},
        {SimModel::ZQ3v2, "IZQ3 v2.1\rUnits: umol.m-2.s-1\r3612mV Battery\r3342\rStopped\r",
         "X?\rTEST:", "T?\rTEST:"},
        {SimModel::ZQ4, "IZQ4 v2.3\rUnits: W.m-2\r3612mV Battery\r4410\rStopped\r",
         "X\r0: 4410\r1: 2025-03-14\rTEST:", "T\rSunshine ratio 1.18\rTEST:"},
        {SimModel::ZQ5, "IZQ5 v3.2\rUnits: umol.m-2.s-1\r3612mV Battery\r5523\rStopped\r",
         "X\r0: 5523\r1: 2025-03-14\rTEST:", "T\rSunshine ratio 1.21\rTEST:"},
        {SimModel::VTA1, "IVTA1 v1.2\rUnits: W.m-2\r3612mV Battery\r7081\rStopped\r",
         "X\r0: 7081\r1: 2025-03-14\rTEST:", "T\rSunshine ratio 1.25\rTEST:"},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(modelName(row.model).toStdString());
        SimBench bench(row.model);
        EXPECT_BYTES(bench.exchange("R"), Prompt);
        EXPECT_BYTES(bench.exchange("I"), row.identification);
        EXPECT_BYTES(bench.exchange("T"), "T\rTEST:");
        EXPECT_BYTES(bench.exchange("X\r"), row.details);
        EXPECT_BYTES(bench.exchange("T\r\n"), row.ratio);
        EXPECT_BYTES(bench.exchange("Q"), "Q?\rTEST:");
        EXPECT_BYTES(bench.exchange("R"), Prompt);
        EXPECT_EQ(bench.instrument.state().mode(), SimMode::Prompt);
    }
}

TEST(Instrument, UnitsChangeOnlyWhereTheModelAllowsIt)
{
    struct Row
    {
        SimModel model;
        QByteArray command;
        QByteArray answer;
        QByteArray unitsLine;
    };
    const QList<Row> rows{
        {SimModel::ZQ5, "U1", "U1OK\rTEST:", "Units: W.m-2"},
        {SimModel::ZQ5, "U2", "U2OK\rTEST:", "Units: klux"},
        {SimModel::ZQ5, "U0", "U0OK\rTEST:", "Units: umol.m-2.s-1"},
        {SimModel::ZQ5, "U7", "U7NO\rTEST:", "Units: umol.m-2.s-1"},
        {SimModel::ZQ3v1, "U2", "U2OK\rTEST:", "Units: klux"},
        {SimModel::ZQ3v2, "U1", "U1OK\rTEST:", "Units: W.m-2"},
        {SimModel::ZQ2, "U1", "U1NO\rTEST:", "Units: umol.m-2.s-1"},
        {SimModel::ZQ2, "U0", "U0OK\rTEST:", "Units: umol.m-2.s-1"},
        {SimModel::ZQ4, "U0", "U0NO\rTEST:", "Units: W.m-2"},
        {SimModel::ZQ4, "U2", "U2NO\rTEST:", "Units: W.m-2"},
        {SimModel::VTA1, "U2", "U2NO\rTEST:", "Units: W.m-2"},
        {SimModel::VTA1, "U1", "U1OK\rTEST:", "Units: W.m-2"},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE((modelName(row.model) + ' ' + QString::fromLatin1(row.command)).toStdString());
        SimBench bench(row.model);
        bench.exchange("RT");
        EXPECT_BYTES(bench.exchange(row.command), row.answer);
        EXPECT_BYTES(bench.exchange("R"), Prompt);
        const QList<QByteArray> lines = bench.exchange("I").split('\r');
        ASSERT_GE(lines.size(), 2);
        EXPECT_EQ(lines[1], row.unitsLine);
    }
}

TEST(Instrument, ReadingsFollowTheSkyAndTheUnitsInForceWithADecimalPoint)
{
    const LocaleGuard german{QLocale(QLocale::German, QLocale::Germany)};
    static const QRegularExpression shape(
        QStringLiteral("^S(\\d+\\.\\d+),(\\d+\\.\\d+),([01])\\r$"));
    struct Row
    {
        QByteArray unitsCommand;
        SimUnits units;
        int decimals;
    };
    const QList<Row> rows{
        {"U0", SimUnits::Molar, 1}, {"U1", SimUnits::Energy, 1}, {"U2", SimUnits::Illuminance, 2}};
    for (const auto &row : rows) {
        SCOPED_TRACE(row.unitsCommand.toStdString());
        SimBench bench(SimModel::ZQ5);
        bench.exchange("T" + row.unitsCommand + "R");
        bench.clock.advanceSeconds(3600); // 11:00, daylight
        const SkyReading sky = bench.instrument.readingNow();
        const QByteArray reply = bench.exchange("S", 0.5);
        const auto match = shape.match(QString::fromLatin1(reply));
        ASSERT_TRUE(match.hasMatch()) << show(reply).toStdString();
        EXPECT_EQ(match.captured(1).section('.', 1).size(), row.decimals);
        const double rounding = 0.5 * std::pow(10.0, -row.decimals) + 1e-9;
        EXPECT_NEAR(match.captured(1).toDouble(), inUnits(sky.totalMolar, row.units), rounding);
        EXPECT_NEAR(match.captured(2).toDouble(), inUnits(sky.diffuseMolar, row.units), rounding);
        EXPECT_EQ(match.captured(3) == QLatin1String("1"), sky.sun);
        EXPECT_GT(sky.totalMolar, 100.0);
    }
}

TEST(Instrument, SameMomentGivesTheSameReadingsAndTimeChangesThem)
{
    SimBench first(SimModel::ZQ5);
    SimBench second(SimModel::ZQ5);
    QSet<QByteArray> seen;
    for (int step = 0; step < 20; ++step) {
        const QByteArray a = first.exchange("S", 0.1);
        const QByteArray b = second.exchange("S", 0.1);
        EXPECT_BYTES(a, b);
        seen.insert(a);
        first.clock.advanceSeconds(120);
        second.clock.advanceSeconds(120);
    }
    EXPECT_GT(seen.size(), 10);
}

TEST(Instrument, TemperaturesComeInSevenCharacterFieldsOnTemperatureModels)
{
    for (SimModel model : allModels()) {
        SCOPED_TRACE(modelName(model).toStdString());
        SimBench bench(model);
        bench.exchange("T");
        const SkyReading sky = bench.instrument.readingNow();
        const QByteArray reply = bench.exchange("I", 0.5);
        ASSERT_TRUE(reply.endsWith("\rTEST:")) << show(reply).toStdString();
        const QByteArray content = reply.chopped(6);
        const int therm = static_cast<int>(content.indexOf("Therm temp"));
        if (!traitsOf(model).hasThermometers) {
            EXPECT_EQ(therm, -1);
            continue;
        }
        ASSERT_GE(therm, 0);
        EXPECT_GE(content.size(), 25);
        const int chip = static_cast<int>(content.indexOf("Chip temp"));
        ASSERT_GE(chip, 0);
        EXPECT_NEAR(leadingNumber(content.mid(therm + 10, 7)), sky.thermistorC, 0.006);
        EXPECT_NEAR(leadingNumber(content.mid(chip + 9, 7)), sky.chipC, 0.006);
    }
}

TEST(Instrument, CalibrationDumpHoldsTheFactorsWhereTheProgramReadsThem)
{
    for (SimModel model : allModels()) {
        SCOPED_TRACE(modelName(model).toStdString());
        SimBench bench(model);
        bench.exchange("T");
        const QByteArray reply = bench.exchange("E", 0.5);
        ASSERT_TRUE(reply.endsWith("\rTEST:")) << show(reply).toStdString();
        const QByteArray content = reply.chopped(6);
        const auto &factors = bench.instrument.state().identity().calibration;

        if (traitsOf(model).calibrationLayout == CalibrationLayout::HexDump) {
            const auto marker = content.indexOf("0x00:");
            ASSERT_GE(marker, 0);
            EXPECT_GT(content.size(), 880);
            // From the second character after the colon: "hh ll " per channel.
            const QByteArray fields = content.mid(marker + 6, 48);
            for (int i = 0; i < 8; ++i) {
                const int hi = fields.mid(6 * i, 2).toInt(nullptr, 16);
                const int lo = fields.mid(6 * i + 3, 2).toInt(nullptr, 16);
                EXPECT_EQ(256 * hi + lo, factors[static_cast<size_t>(i)]) << "channel " << i;
            }
            EXPECT_EQ(content.count("0x00:"), 1);
        } else {
            const auto marker = content.indexOf("User:");
            ASSERT_GE(marker, 0);
            EXPECT_GE(content.size(), 100);
            // From the fifth character after the colon: seven 5-character fields.
            const QByteArray fields = content.mid(marker + 9, 42);
            for (int i = 0; i < 7; ++i)
                EXPECT_EQ(fields.mid(6 * i, 5).trimmed().toInt(),
                          factors[static_cast<size_t>(i + 1)])
                    << "channel " << i + 1;
            EXPECT_EQ(factors[0], 4096);
            EXPECT_EQ(content.count("User:"), 1);
        }
    }
}

TEST(Instrument, FaultSwitchesLatencyAndPaceShapeTheReplies)
{
    struct Row
    {
        const char *name;
        SimFaults faults;
        QByteArray command;
        // Checks on the arrivals after the command, written at time t0.
        std::function<void(const QList<SimBench::Arrival> &, double t0)> check;
        double latencySeconds = 0.005;
        bool paced = false;
    };
    SimFaults silent;
    silent.silent = true;
    SimFaults late;
    late.late = true;
    SimFaults split;
    split.split = true;
    split.splitChunks = 4;
    split.splitSeconds = 0.3;
    SimFaults garbage;
    garbage.garbage = true;
    SimFaults badPrompt;
    badPrompt.badPrompt = true;

    const QList<Row> rows{
        {"none", SimFaults{}, "R",
         [](const auto &arrivals, double t0) {
             ASSERT_EQ(arrivals.size(), 1);
             EXPECT_NEAR(arrivals[0].at - t0, 0.005, 1e-6);
             EXPECT_BYTES(arrivals[0].bytes, Prompt);
         }},
        {"silent", silent, "R",
         [](const auto &arrivals, double) { EXPECT_TRUE(arrivals.isEmpty()); }},
        {"late", late, "R",
         [](const auto &arrivals, double t0) {
             ASSERT_EQ(arrivals.size(), 1);
             EXPECT_NEAR(arrivals[0].at - t0, 1.505, 1e-6);
             EXPECT_BYTES(arrivals[0].bytes, Prompt);
         }},
        {"split", split, "I",
         [](const auto &arrivals, double t0) {
             ASSERT_EQ(arrivals.size(), 4);
             EXPECT_NEAR(arrivals.front().at - t0, 0.005, 1e-6);
             EXPECT_NEAR(arrivals.back().at - t0, 0.305, 1e-6);
             EXPECT_BYTES(SimBench::joined(arrivals),
                          "IZQ5 v3.2\rUnits: umol.m-2.s-1\r3612mV Battery\r5523\rStopped\r");
         }},
        {"garbage", garbage, "R",
         [](const auto &arrivals, double) {
             const QByteArray all = SimBench::joined(arrivals);
             EXPECT_BYTES(all, ReplyScheduler::noise() + Prompt);
             EXPECT_FALSE(ReplyScheduler::noise().contains('\r'));
             EXPECT_FALSE(ReplyScheduler::noise().contains('\xAF'));
         }},
        {"bad prompt", badPrompt, "R",
         [](const auto &arrivals, double) {
             const QByteArray all = SimBench::joined(arrivals);
             ASSERT_FALSE(all.isEmpty());
             EXPECT_NE(all.back(), '\xAF');
         }},
        {"latency option", SimFaults{}, "R",
         [](const auto &arrivals, double t0) {
             ASSERT_EQ(arrivals.size(), 1);
             EXPECT_NEAR(arrivals[0].at - t0, 0.25, 1e-6);
         },
         0.25},
        {"paced: eleven bits a byte both ways", SimFaults{}, "I",
         [](const auto &arrivals, double t0) {
             ASSERT_EQ(arrivals.size(), 1);
             const double perByte = 11.0 / 9600.0;
             EXPECT_NEAR(arrivals[0].at - t0, perByte + 0.005 + perByte * arrivals[0].bytes.size(),
                         1e-6);
         },
         0.005, true},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.name);
        InstrumentOptions options(SimModel::ZQ5);
        options.latencySeconds = row.latencySeconds;
        SimBench bench(options, row.paced);
        bench.instrument.setFaults(row.faults);
        const double t0 = bench.clock.monotonicSeconds();
        bench.port.write(row.command);
        row.check(bench.collect(3.0), t0);
    }
}
