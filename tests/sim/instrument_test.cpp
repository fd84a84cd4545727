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

TEST(Instrument, ModelTraitsFollowTheVersionRulesTheProgramApplies)
{
    for (SimModel model : allModels()) {
        const ModelTraits &traits = traitsOf(model);
        const QByteArray version = traits.version;
        SCOPED_TRACE(version.toStdString());
        const QByteArray name = version.left(version.indexOf(' '));
        EXPECT_EQ(modelFromName(QString::fromLatin1(name) +
                                (model == SimModel::ZQ3v2 ? QStringLiteral("v2") : QString())),
                  model);

        // Temperature models: neither "ZQ2" nor "ZQ3 v2." in the version.
        EXPECT_EQ(traits.hasThermometers, !version.contains("ZQ2") && !version.contains("ZQ3 v2."));
        // "X" and "T" are asked only of models other than ZQ2 and ZQ3.
        EXPECT_EQ(traits.hasDetails, !version.startsWith("ZQ2") && !version.startsWith("ZQ3"));
        // ZQ2 and ZQ3 without "v2." dump hex; the others give a "User:" line.
        const bool hex =
            version.startsWith("ZQ2") || (version.startsWith("ZQ3") && !version.contains("v2."));
        EXPECT_EQ(traits.calibrationLayout == CalibrationLayout::HexDump, hex);
        // Fixed units: ZQ2 in umol, ZQ4 and VTA1 in W.m-2.
        std::optional<SimUnits> fixed;
        if (version.startsWith("ZQ2"))
            fixed = SimUnits::Molar;
        if (version.startsWith("ZQ4") || version.startsWith("VTA1"))
            fixed = SimUnits::Energy;
        EXPECT_EQ(traits.fixedUnits, fixed);
        // A log status of fewer than 2 characters means "no logger".
        const InstrumentState state(model);
        EXPECT_EQ(state.logStatusLine().size() >= 2, traits.hasLogger);
        EXPECT_EQ(traits.hasLogger, model != SimModel::ZQ2 && model != SimModel::ZQ3v1);
        // The power line holds "mV" at position 2 or later, after a number above 1600.
        EXPECT_GE(state.powerLine().indexOf("mV"), 1);
        EXPECT_GT(leadingNumber(state.powerLine()), 1600);
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

TEST(Instrument, TestModeSensorCountsMatchTheReadingsAndTheCalibration)
{
    static const QRegularExpression shape(QStringLiteral(
        "^S(\\d+\\.\\d+),(\\d+\\.\\d+),([01])\\(((?:-?\\d+ ){7}-?\\d+)\\)\\rTEST:$"));
    for (SimModel model : allModels()) {
        SCOPED_TRACE(modelName(model).toStdString());
        SimBench bench(model);
        bench.exchange("T");
        bench.clock.advanceSeconds(2 * 3600); // noon
        const SkyReading sky = bench.instrument.readingNow();
        const QByteArray reply = bench.exchange("S", 0.5);
        const auto match = shape.match(QString::fromLatin1(reply));
        ASSERT_TRUE(match.hasMatch()) << show(reply).toStdString();
        const QStringList counts = match.captured(4).split(' ');
        ASSERT_EQ(counts.size(), 8);

        // Convert as the computer does: channel 0 alone, the others by their difference
        // from channel 0, each with its own factor.
        const auto &k = bench.instrument.state().identity().calibration;
        const int c0 = counts[0].toInt();
        EXPECT_GE(c0, 1000);
        EXPECT_LE(c0, 4000);
        const double scale = 2500.0 / 4096 / 4096;
        EXPECT_NEAR(k[0] * c0 * scale, sky.totalMolar, 1.0);
        for (int i = 1; i < 8; ++i) {
            const int ci = counts[i].toInt();
            EXPECT_NEAR(ci, c0, c0 * 0.05) << "channel " << i;
            const double reading = (k[0] * c0 + k[static_cast<size_t>(i)] * (ci - c0)) * scale;
            EXPECT_NEAR(reading / sky.totalMolar, 1.0, 0.03) << "channel " << i;
        }
    }
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

TEST(Instrument, CommandsSplitOrMergedAnywhereGiveTheSameReplies)
{
    const QByteArray session("RITU1SIEX\rT\r\nU2QRS");
    SimBench whole(SimModel::ZQ5);
    const QByteArray expected = whole.exchange(session, 0.5);
    ASSERT_TRUE(expected.endsWith("\r")) << show(expected).toStdString();

    // All pieces are written at the same moment, so the readings in the replies agree.
    for (int cut = 1; cut < session.size(); ++cut) {
        SCOPED_TRACE(cut);
        SimBench split(SimModel::ZQ5);
        split.port.write(session.left(cut));
        EXPECT_BYTES(split.exchange(session.mid(cut), 0.5), expected);
    }
    SimBench byteWise(SimModel::ZQ5);
    for (char byte : session)
        byteWise.port.write(QByteArray(1, byte));
    EXPECT_BYTES(SimBench::joined(byteWise.collect(0.5)), expected);
}

TEST(Instrument, TestModeIsEnteredByTAndLeftByR)
{
    SimBench bench(SimModel::ZQ5);
    EXPECT_TRUE(bench.exchange("S").endsWith(",0\r") || bench.exchange("S").endsWith(",1\r"));
    EXPECT_EQ(bench.instrument.state().mode(), SimMode::Prompt);
    EXPECT_TRUE(bench.exchange("T").endsWith("TEST:"));
    EXPECT_EQ(bench.instrument.state().mode(), SimMode::Test);
    EXPECT_TRUE(bench.exchange("S").endsWith(")\rTEST:"));
    EXPECT_BYTES(bench.exchange("R"), Prompt);
    EXPECT_EQ(bench.instrument.state().mode(), SimMode::Prompt);
    // Units commands mean nothing at the prompt.
    EXPECT_TRUE(bench.exchange("U1").isEmpty());
    EXPECT_EQ(bench.instrument.state().units(), SimUnits::Molar);
}

TEST(Instrument, FaultSwitchesShapeTheReplies)
{
    struct Row
    {
        const char *name;
        SimFaults faults;
        QByteArray command;
        // Checks on the arrivals after the command, written at time t0.
        std::function<void(const QList<SimBench::Arrival> &, double t0)> check;
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
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.name);
        SimBench bench(SimModel::ZQ5);
        bench.instrument.setFaults(row.faults);
        const double t0 = bench.clock.monotonicSeconds();
        bench.port.write(row.command);
        row.check(bench.collect(3.0), t0);
    }
}

TEST(Instrument, FaultsCanBeSwitchedWhileRunning)
{
    SimBench bench(SimModel::ZQ4);
    EXPECT_BYTES(bench.exchange("R"), Prompt);
    SimFaults faults;
    faults.silent = true;
    bench.instrument.setFaults(faults);
    EXPECT_TRUE(bench.exchange("R").isEmpty());
    bench.instrument.setFaults(SimFaults{});
    EXPECT_BYTES(bench.exchange("R"), Prompt);
}

TEST(Instrument, LatencyOptionDelaysEveryReply)
{
    InstrumentOptions options(SimModel::VTA1);
    options.latencySeconds = 0.25;
    SimBench bench(options);
    const double t0 = bench.clock.monotonicSeconds();
    bench.port.write("R");
    const auto arrivals = bench.collect(1.0);
    ASSERT_EQ(arrivals.size(), 1);
    EXPECT_NEAR(arrivals[0].at - t0, 0.25, 1e-6);
}

TEST(Instrument, PacedLineTakesElevenBitsPerByteBothWays)
{
    SimBench bench(InstrumentOptions(SimModel::ZQ5), true);
    const double t0 = bench.clock.monotonicSeconds();
    bench.port.write("I");
    const auto arrivals = bench.collect(1.0);
    ASSERT_EQ(arrivals.size(), 1);
    const double perByte = 11.0 / 9600.0;
    const double expected = perByte + 0.005 + perByte * arrivals[0].bytes.size();
    EXPECT_NEAR(arrivals[0].at - t0, expected, 1e-6);
}

TEST(Instrument, IdentityCanBeChosen)
{
    InstrumentOptions options(SimModel::ZQ5);
    InstrumentIdentity identity = InstrumentIdentity::defaultFor(SimModel::ZQ5);
    identity.serialNumber = "9999";
    identity.powerMillivolts = 1450;
    options.identity = identity;
    SimBench bench(options);
    EXPECT_BYTES(bench.exchange("I"),
                 "IZQ5 v3.2\rUnits: umol.m-2.s-1\r1450mV Battery\r9999\rStopped\r");
}
