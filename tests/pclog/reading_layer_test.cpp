// The reading layer against a scripted instrument: calibration dumps in both layouts and
// the choice by model, individual and plain readings with their arithmetic and their
// malformed replies, and the temperatures.
#include "PCLogFixture.h"

#include "QtPrinters.h"

#include "link/InstrumentModel.h"
#include "pclog/CalibrationReader.h"
#include "pclog/SensorReader.h"

#include <gtest/gtest.h>

#include <array>
#include <optional>

namespace {

// "E" dumps as the instruments write them.
QByteArray HexDump(const QByteArray &firstLine)
{
    QByteArray dump = "E\r0x00: " + firstLine;
    for (int line = 1; line < 16; ++line)
        dump += "\r0x" + QByteArray::number(line * 16, 16).toUpper() +
                ": FF FF FF FF FF FF FF FF FF FF FF FF FF FF FF FF ";
    return dump;
}

QByteArray UserDump(const QByteArray &userFields)
{
    return "E\rSerial: 1234\rFactory:  4096  4096  4096  4096  4096  4096  4096\rUser:    " +
           userFields + "\rOffset:     12\rRatio:   1.200";
}

const CalibrationValues Untouched{11, 12, 13, 14, 15, 16, 17, 18, 19};

class ReadingLayerTest : public InstrumentOnCable
{
protected:
    // Connects to an instrument with the given version line; the wire is then cleared.
    void connectTo(const QByteArray &version)
    {
        instrument.version = version;
        link.setCommPort(1);
        ASSERT_TRUE(link.GetStatus());
        line.clearWritten();
    }

    QList<QByteArray> writes() const { return line.writes().mid(m_writesBefore); }
    void markWrites() { m_writesBefore = static_cast<int>(line.writes().size()); }

    CalibrationReader calibration{link};
    SensorReader reader{link};

private:
    int m_writesBefore = 0;
};

struct CalibrationCase
{
    const char *name;
    QByteArray version;
    QByteArray dump;
    bool ok;
    CalibrationValues values;
    QString output;
    QString message;
    QString error;
};

CalibrationCase Read(const char *name, const QByteArray &version, const QByteArray &dump,
                     const CalibrationValues &values, const QString &output)
{
    return {name, version, dump, true, values, output, QString(), QString()};
}

CalibrationCase Refused(const char *name, const QByteArray &version, const QByteArray &dump,
                        const QString &message, const QString &error = QString())
{
    return {name, version, dump, false, Untouched, QString(), message, error};
}

CalibrationCase Unrecognised(const char *name, const QByteArray &version, const QString &message)
{
    const CalibrationValues ones{4096, 4096, 4096, 4096, 4096, 4096, 4096, 4096, 19};
    return {name, version, "", true, ones, QString(), message, QString()};
}

TEST_F(ReadingLayerTest, CalibrationByModel)
{
    const QByteArray longWithoutMarker = QByteArray("E\r123") +
                                         "10 00 0F F0 00 01 00 02 00 03 00 04 00 05 00 06 " +
                                         QByteArray(880, '.');
    const QString ones = QStringLiteral("4096 4096 4096 4096 4096 4096 4096 4096 \r\n");
    const QString zq3Failed = QStringLiteral("Failed to read ZQ3 calibration values");
    const QString zqVtaFailed = QStringLiteral("Failed to read ZQ/VTA calibration values");
    const CalibrationCase cases[] = {
        Read("ZQ3 dump: 10 00 is 4096, 0F F0 is 4080", "ZQ3 v1.7",
             HexDump("10 00 0F F0 10 20 0F 00 00 FF 10 00 FF FF 01 00 00 00 "),
             {4096, 4080, 4128, 3840, 255, 4096, 65535, 256, 19},
             "4096 4080 4128 3840 255 4096 65535 256 \r\n"),
        Read("ZQ2 reads the same dump", "ZQ2 v1.4",
             HexDump("10 00 10 00 10 00 10 00 10 00 10 00 10 00 10 00 "),
             {4096, 4096, 4096, 4096, 4096, 4096, 4096, 4096, 19}, ones),
        Read("non-hexadecimal digits count as 0", "ZQ3 v1.7",
             HexDump("1G 00 0F xx 10 00 10 00 10 00 10 00 10 00 10 00 "),
             {0, 3840, 4096, 4096, 4096, 4096, 4096, 4096, 19},
             "0 3840 4096 4096 4096 4096 4096 4096 \r\n"),
        Read("880 characters without the marker: fields from character 6", "ZQ3 v1.7",
             longWithoutMarker, {4096, 4080, 1, 2, 3, 4, 5, 6, 19}, "4096 4080 1 2 3 4 5 6 \r\n"),
        Refused("short ZQ2 dump without the marker", "ZQ2 v1.4", "E\rCAL?",
                "Failed to read ZQ2 calibration values"),
        Refused("short ZQ3 v1 dump without the marker", "ZQ3 v1.7", longWithoutMarker.left(879),
                zq3Failed),
        Read("ZQ4 user line: 4096, seven factors, 0", "ZQ4 v2.3",
             UserDump(" 4101  4080  4050  4200  3990  4096  4111"),
             {4096, 4101, 4080, 4050, 4200, 3990, 4096, 4111, 0},
             "4096 4101 4080 4050 4200 3990 4096 4111 \r\n"),
        Read("ZQ3 v2 reads the user line", "ZQ3 v2.1",
             UserDump(" 4000  4001  4002  4003  4004  4005 4006.5"),
             {4096, 4000, 4001, 4002, 4003, 4004, 4005, 4006, 0},
             "4096 4000 4001 4002 4003 4004 4005 4006 \r\n"),
        Read("non-numeric user factors count as 0", "VTA1 v1.0",
             UserDump("  abc  4080 -12.5  4200  3990  4096   x  "),
             {4096, 0, 4080, -12, 4200, 3990, 4096, 0, 0}, "4096 0 4080 -12 4200 3990 4096 0 \r\n"),
        Refused("a factor beyond 32 bits is an overflow", "ZQ4 v2.3",
                UserDump(" 4101 9e+99  4050  4200  3990  4096  4111"), zqVtaFailed,
                QStringLiteral("Overflow")),
        Refused("short ZQ3 v2 reply", "ZQ3 v2.1", "E\rSerial: 1234", zq3Failed),
        Refused("short ZQ5 reply", "ZQ5 v3.2", "E\r?", zqVtaFailed),
        Refused("short VTA1 reply", "VTA1 v1.0", "", zqVtaFailed),
        Unrecognised("unrecognised model: factors 1, element 8 kept", "XY1 v1.0",
                     "XY1 v1.0 not recognised by this software"),
        Unrecognised("empty version line", "", " not recognised by this software"),
    };
    for (const CalibrationCase &c : cases) {
        SCOPED_TRACE(c.name);
        connectTo(c.version);
        instrument.calibrationDump = c.dump;
        CalibrationValues values = Untouched;
        const CalibrationOutcome outcome = calibration.ReadForModel(values);
        EXPECT_EQ(outcome.ok, c.ok);
        EXPECT_EQ(values, c.values);
        EXPECT_EQ(outcome.output, c.output);
        EXPECT_EQ(outcome.message, c.message);
        EXPECT_EQ(outcome.error, c.error);
        const bool asked = ChooseCalibration(QString::fromLatin1(c.version)).source !=
                           CalibrationSource::Unrecognised;
        EXPECT_EQ(line.written().contains('E'), asked);
        link.Connect(); // out of test mode for the next case
    }
}

TEST_F(ReadingLayerTest, HexDumpIsWaitedForLongerThanTheUserLine)
{
    const struct
    {
        QByteArray version;
        double delay;
        bool ok;
    } cases[] = {{"ZQ3 v1.7", 3.0, true},
                 {"ZQ3 v1.7", 4.5, false},
                 {"ZQ4 v2.3", 1.5, true},
                 {"ZQ4 v2.3", 3.0, false}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.version.toStdString() + " " + std::to_string(c.delay));
        connectTo(c.version);
        instrument.calibrationDump =
            c.version.startsWith("ZQ3")
                ? HexDump("10 00 10 00 10 00 10 00 10 00 10 00 10 00 10 00 ")
                : UserDump(" 4101  4080  4050  4200  3990  4096  4111");
        instrument.calibrationDelay = c.delay;
        CalibrationValues values{};
        EXPECT_EQ(calibration.ReadForModel(values).ok, c.ok);
        clock.advanceSeconds(5); // let a late dump arrive and go stale
        link.Connect();
    }
}

const CalibrationValues Unity{4096, 4096, 4096, 4096, 4096, 4096, 4096, 4096, 0};

struct IndividualCase
{
    const char *name;
    QByteArray reply; // without the trailing CR and prompt; empty: no answer
    CalibrationValues factors;
    bool ok;
    QString error;
    float total;
    float diffuse;
    qint16 sun;
    qint16 count;
    std::array<double, 8> channels; // umol.m-2.s-1 added
};

// A reading that counted, with the channels in umol.m-2.s-1.
IndividualCase Counted(const char *name, const QByteArray &reply, float total, float diffuse,
                       qint16 sun, const std::array<double, 8> &channels,
                       const CalibrationValues &factors = Unity)
{
    return {name, reply, factors, true, QString(), total, diffuse, sun, 1, channels};
}

// A reading that did not count, leaving the given sums behind.
IndividualCase Failed(const char *name, const QByteArray &reply, const QString &error = QString(),
                      float total = 0, float diffuse = 0, qint16 sun = 0,
                      const std::array<double, 8> &channels = {})
{
    return {name, reply, Unity, false, error, total, diffuse, sun, 0, channels};
}

// Channels from counts read with factor 4096: 2500 umol.m-2.s-1 per 4096 counts.
std::array<double, 8> FromCounts(const std::array<double, 8> &counts)
{
    std::array<double, 8> channels{};
    for (size_t i = 0; i < 8; ++i)
        channels[i] = counts[i] * 2500.0 / 4096.0;
    return channels;
}

TEST_F(ReadingLayerTest, IndividualReadings)
{
    const double scaled = 100 * 2500.0 / 4096 / 4096; // per unit of factor, 100 counts apart
    const IndividualCase cases[] = {
        Counted("the example reply", "S123.4,56.7,1 (1000 1010 990 1005 1002 998 1001 0)", 123.4f,
                56.7f, 1, FromCounts({1000, 1010, 990, 1005, 1002, 998, 1001, 0})),
        Counted("4096 counts with factor 4096 is 2500; equal counts ignore their factor",
                "S1,2,0(4096 4096 4096 4096 4096 4096 4096 4096)", 1, 2, 0,
                {2500, 2500, 2500, 2500, 2500, 2500, 2500, 2500},
                {4096, 5000, 1, 0, -4096, 65535, 8192, 4096, 0}),
        Counted("a channel's own factor scales its difference from channel 0",
                "S1,2,0(4096 4196 3996 4096 4096 4096 4096 4096)", 1, 2, 0,
                {2500, 2500 + 8192 * scaled, 2500 - 2048 * scaled, 2500, 2500, 2500, 2500, 2500},
                {4096, 8192, 2048, 4096, 4096, 4096, 4096, 4096, 0}),
        Counted("too few counts: the last one repeats", "S1,2,1(100 200)", 1, 2, 1,
                FromCounts({100, 200, 200, 200, 200, 200, 200, 200})),
        Counted("extra blanks between counts", "S1,2,1(  10   20 30 40 50 60 70 80)", 1, 2, 1,
                FromCounts({10, 20, 30, 40, 50, 60, 70, 80})),
        Failed("closing parenthesis missing", "S1,2,0(4096 4096 4096 4096 4096 4096 4096 4096"),
        Failed("not an S reply", "X1,2,0(1 2 3 4 5 6 7 8)"),
        Failed("no reply", ""),
        Failed("a count beyond 16 bits: total, diffuse and sun stay, the reading does not count",
               "S5,6,1(40000 1 1 1 1 1 1 1)", "Overflow", 5, 6, 1),
        Failed("a difference beyond 16 bits: channel 0 stays", "S5,6,1(-30000 30000 1 1 1 1 1 1)",
               "Overflow", 5, 6, 1, FromCounts({-30000, 0, 0, 0, 0, 0, 0, 0})),
        Failed("a sun value beyond 16 bits", "S5,6,99999(1 1 1 1 1 1 1 1)", "Overflow", 5, 6),
        Failed("a total beyond single precision", "S1e39,6,1(1 1 1 1 1 1 1 1)", "Overflow"),
    };
    for (const IndividualCase &c : cases) {
        SCOPED_TRACE(c.name);
        connectTo("ZQ5 v3.2");
        instrument.readingsSilent = c.reply.isEmpty();
        instrument.sensorReply = [&c](int) { return c.reply; };
        markWrites();
        ReadingSums sums;
        const ReadingOutcome outcome = reader.GetIndividualReadings(sums, c.factors, true);
        EXPECT_EQ(outcome.ok, c.ok);
        EXPECT_EQ(outcome.error, c.error);
        EXPECT_FLOAT_EQ(sums.TotalSum, c.total);
        EXPECT_FLOAT_EQ(sums.DiffuseSum, c.diffuse);
        EXPECT_EQ(sums.SunCount, c.sun);
        EXPECT_EQ(sums.ReadingCount, c.count);
        for (size_t i = 0; i < 8; ++i)
            EXPECT_NEAR(sums.IndividualSums[i], c.channels[i], 0.01) << "channel " << i;
        EXPECT_EQ(sums.IndividualSums[8], 0.0f);
        // Test mode is left again after a reading that counted.
        const QList<QByteArray> expected =
            c.ok ? QList<QByteArray>{"R", "T", "S", "R"} : QList<QByteArray>{"R", "T", "S"};
        EXPECT_EQ(writes(), expected);
        link.Connect();
    }
}

TEST_F(ReadingLayerTest, SunValuesAddUpWithTheReadings)
{
    connectTo("ZQ5 v3.2");
    instrument.sensorReply = [](int) { return QByteArray("S10,5,1(1 1 1 1 1 1 1 1)"); };
    ReadingSums sums;
    for (int i = 0; i < 3; ++i)
        EXPECT_TRUE(reader.GetIndividualReadings(sums, Unity, true).ok);
    EXPECT_EQ(sums.SunCount, 3);
    EXPECT_EQ(sums.ReadingCount, 3);
    EXPECT_FLOAT_EQ(sums.TotalSum, 30);
    sums.ClearSums();
    EXPECT_EQ(sums.ReadingCount, 0);
    EXPECT_EQ(sums.SunCount, 0);
    EXPECT_EQ(sums.TotalSum, 0.0f);
}

TEST_F(ReadingLayerTest, PlainReadings)
{
    const struct
    {
        QByteArray reply;
        float total;
        float diffuse;
        qint16 sun;
    } cases[] = {{"123.4,56.7,1", 123.4f, 56.7f, 1},
                 {"80.5,80.5,0", 80.5f, 80.5f, 0},
                 {"12.35,3.21,x1", 12.35f, 3.21f, 1}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.reply.toStdString());
        connectTo("ZQ5 v3.2");
        instrument.plainReading = [&c](int) { return c.reply; };
        markWrites();
        ReadingSums sums;
        EXPECT_TRUE(reader.GetIndividualReadings(sums, Unity, false).ok);
        EXPECT_FLOAT_EQ(sums.TotalSum, c.total);
        EXPECT_FLOAT_EQ(sums.DiffuseSum, c.diffuse);
        EXPECT_EQ(sums.SunCount, c.sun);
        EXPECT_EQ(sums.ReadingCount, 1);
        EXPECT_EQ(writes(), QList<QByteArray>({"R", "S"}));
    }
}

TEST_F(ReadingLayerTest, NothingIsAskedWithoutAConnection)
{
    connectTo("ZQ5 v3.2");
    instrument.silent = true;
    EXPECT_FALSE(link.Connect());
    line.clearWritten();
    ReadingSums sums;
    EXPECT_FALSE(reader.GetIndividualReadings(sums, Unity, true).ok);
    EXPECT_FALSE(reader.GetIndividualReadings(sums, Unity, false).ok);
    EXPECT_FALSE(reader.GetTemp(sums).ok);
    EXPECT_TRUE(line.written().isEmpty());
}

struct TemperatureCase
{
    const char *name;
    QByteArray version;
    QByteArray reply;
    bool ok;
    QString error;
    float therm;
    float chip;
    QList<QByteArray> writes;
};

TEST_F(ReadingLayerTest, Temperatures)
{
    const QList<QByteArray> read{"R", "T", "I", "R"};
    const QList<QByteArray> refused{"R", "T", "I"};
    const TemperatureCase cases[] = {
        {"both temperatures", "ZQ5 v3.2", "I\rTherm temp  21.40\rChip temp  25.10\rVref   2.500",
         true, "", 21.4f, 25.1f, read},
        {"no chip temperature", "ZQ4 v2.3", "I\rTherm temp  -3.25\rVref   2.500 Supply 3612mV",
         true, "", -3.25f, 0, read},
        {"ZQ3 v2 has no thermometers", "ZQ3 v2.3", "", false, "", 0, 0, {}},
        {"ZQ2 has no thermometers", "ZQ2 v1.4", "", false, "", 0, 0, {}},
        {"reply without the thermistor", "ZQ5 v3.2", "I\rVref   2.500\rSupply 3612mV", false, "", 0,
         0, refused},
        {"reply shorter than 25 characters", "ZQ5 v3.2", "I\rTherm temp  21.40", false, "", 0, 0,
         refused},
        {"temperature beyond any number", "ZQ5 v3.2",
         "I\rTherm temp9e99999\rChip temp  25.10\rVref   2.500", false, "Overflow", 0, 0, read},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        connectTo(c.version);
        instrument.temperatures = c.reply;
        markWrites();
        ReadingSums sums;
        const ReadingOutcome outcome = reader.GetTemp(sums);
        EXPECT_EQ(outcome.ok, c.ok);
        EXPECT_EQ(outcome.error, c.error);
        EXPECT_FLOAT_EQ(sums.ThermSum, c.therm);
        EXPECT_FLOAT_EQ(sums.ChipSum, c.chip);
        EXPECT_EQ(sums.ReadingCount, 0) << "temperatures are not readings";
        EXPECT_EQ(writes(), c.writes);
        link.Connect();
    }
}

} // namespace
