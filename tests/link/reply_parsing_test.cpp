// SPDX-License-Identifier: GPL-3.0-or-later
// The pure halves of the link, fed bytes directly: the frame assembler (whole, split, byte
// by byte, damaged), the text reply parsers (well formed, odd, junk, truncated, empty) and
// the terminal's text; and the trace the link writes of its line. Each result is written as one
// line of text, so that a row reads reply -> result.
#include "Bytes.h"
#include "QtPrinters.h"
#include "link/Crc.h"
#include "link/FrameAssembler.h"
#include "link/LinkTrace.h"
#include "link/StatusReplies.h"
#include "link/TerminalText.h"
#include "link/TestModeReplies.h"
#include "link/TracingSerialPort.h"
#include "platform/FakeSerialPort.h"

#include <QFile>
#include <QFileInfo>
#include <QStringList>
#include <QTemporaryDir>
#include <QTimeZone>

#include <random>

#include <gtest/gtest.h>

namespace {

QList<QByteArray> byteByByte(const QByteArray &bytes)
{
    QList<QByteArray> reads;
    for (const char byte : bytes)
        reads.append(QByteArray(1, byte));
    return reads;
}

// "frame of n bytes", or "need more" or "invalid" and the reason. What is kept is always
// the first bytes fed.
QString assembled(FrameAssembler::Layout layout, const QList<QByteArray> &reads)
{
    FrameAssembler assembler(layout);
    for (const QByteArray &bytes : reads)
        assembler.feed(bytes);
    EXPECT_EQ(hex(assembler.bytes()), hex(reads.join().left(assembler.bytes().size())));
    const QString outcomes[] = {
        "need more: ", QStringLiteral("frame of %1 bytes").arg(assembler.bytes().size()),
        "invalid: "};
    return outcomes[static_cast<int>(assembler.status())] + assembler.reason();
}

TEST(FrameAssembler, ReadsMakeAFrameOrSayWhyNot)
{
    EXPECT_EQ(CalcCrc(QByteArray("123456789")), 0xBB3D);                      // CRC-16/ARC
    const QByteArray reply = Frame::build(10, 0, 6, fromHex("0A0041000002")); // 13 bytes
    const QByteArray ack = Frame::build(0x16, 0x0102, 2, fromHex("0002"));
    QByteArray ackOddHeader = fromHex("0E16020105 0002");
    Frame::appendLe16(ackOddHeader, CalcCrc(ackOddHeader));
    const auto Packet = FrameAssembler::Layout::Packet;
    const auto Ack = FrameAssembler::Layout::Acknowledgement;
    const QString badCrc = "invalid: CRC check failed";
    const std::tuple<FrameAssembler::Layout, QList<QByteArray>, QString> rows[] = {
        {Packet, byteByByte(reply), "frame of 13 bytes"},
        {Packet, {reply.left(3), reply.mid(3), "\x01"}, "frame of 13 bytes"}, // later: ignored
        {Packet, {reply.left(4) + "\x08" + reply.mid(5)}, "need more: frame: 13 of 15 bytes"},
        {Packet, {reply.left(4)}, "need more: header: 4 of 5 bytes"},
        {Packet, byteByByte(reply.left(12)), "need more: frame: 12 of 13 bytes"},
        {Packet, byteByByte(reply.left(7) + "X" + reply.mid(8)), badCrc},
        // Bytes after the frame in the frame's last read count in the CRC.
        {Packet, {reply.left(12), reply.right(1) + "\x01"}, badCrc},
        // No search for the start: junk before it is judged once five bytes are in.
        {Packet, byteByByte("\x55" + reply), "invalid: start byte 55, not 0F"},
        // 255 data bytes overflow the 261-byte buffer: the frame never completes.
        {Packet, byteByByte(fromHex("0F0C0000FF") + QByteArray(257, '\x05')),
         "need more: frame: 261 of 262 bytes"},
        {Ack, byteByByte(ack), "frame of 9 bytes"},
        {Ack, {ackOddHeader}, "frame of 9 bytes"}, // start and length are not looked at
        {Ack, {ack.left(6) + "X" + ack.mid(7)}, badCrc},
    };
    for (const auto &[layout, reads, expected] : rows)
        EXPECT_EQ(assembled(layout, reads), expected) << hex(reads.join()).toStdString();
}

// Numbers apart by blanks, "-" for an empty one.
template <typename Numbers> QString numbers(const Numbers &values)
{
    QStringList texts;
    for (const auto &value : values) {
        const std::optional<double> number(value);
        texts << (number ? QString::number(*number, 'g', 10) : "-");
    }
    return texts.join(' ');
}
using Fields = QList<std::optional<double>>;

// The value a parser gives as text, fields apart by "|", or "refused: " and why.
template <typename Value> QString parsed(const ParsedReply<Value> &reply)
{
    if (!reply.ok())
        return "refused: " + reply.failure;
    const Value &v = *reply.value;
    if constexpr (std::is_same_v<Value, StatusLines>)
        return QStringList{v.version, v.units, v.power, v.serialNumber, v.logStatus}.join('|');
    else if constexpr (std::is_same_v<Value, PlainReadings>)
        return numbers(Fields{v.total, v.diffuse}) + (v.sun ? " sun" : "");
    else if constexpr (std::is_same_v<Value, IndividualReadingReply>)
        return numbers(Fields{v.total, v.diffuse, v.sun}) + '|' +
               (v.counts ? numbers(*v.counts) : "-");
    else if constexpr (std::is_same_v<Value, TemperatureReply>)
        return numbers(Fields{v.thermistor, v.chip});
    else if constexpr (std::is_same_v<Value, SensorDetails>)
        return v.serialNumber + '|' + v.calibrationDate;
    else if constexpr (std::is_same_v<Value, QString>)
        return '"' + v + '"';
    else
        return numbers(v);
}

TEST(ReplyParsers, EveryReplyFamily)
{
    const auto status = [](const QByteArray &r) { return parsed(ParseStatusReply(r)); };
    const auto readings = [](const QByteArray &r) { return parsed(ParseReadingsReply(r)); };
    const auto dump = [](const QString &r) { return parsed(ParseHexDumpCalibration(r)); };
    const auto user = [](const QString &r) { return parsed(ParseUserLineCalibration(r)); };
    const auto counts = [](const QString &r) { return parsed(ParseIndividualReadingReply(r)); };
    const auto temperatures = [](const QString &r) { return parsed(ParseTemperatureReply(r)); };
    const auto details = [](const QString &r) { return parsed(ParseDetailsReply(r)); };
    const auto ratio = [](const QString &r) { return parsed(ParseRatioReply(r)); };
    const QString unmarked =
        "E\r12310 00 0F F0 00 01 00 02 00 03 00 04 00 05 00 06 " + QString(880, '.');
    const QString seven = "User:     4101  4080 -12.5 4005.5 9e+99 9e999   x\rOffset:   12";
    const QByteArray clean = "IZQ5 v3.2\rUnits: W.m-2\rBattery 3612mV (ok)\r10342\rLog\r";
    const QString cleanStatus = "ZQ5 v3.2|Units: W.m-2|Battery 3612mV|10342|Log";
    const QString outOfRange = "refused: a reading that is no number in range";
    const QString notS = "refused: not \"S\" ... \")\"",
                  noTherm = "refused: no \"Therm temp\" or shorter than 25 characters";
    const std::pair<QString, QString> rows[] = {
        {status(clean), cleanStatus},
        // Noise before the echo is skipped, even noise holding an "I" or a CR.
        {status(QByteArray("\x00\xE5I~\x13", 5) + clean), cleanStatus},
        {status("ab\rI\rxI" + clean), cleanStatus},
        // A power without "mV" or with "mV" first, a sixth line ignored; lines cut to 64
        // with "…".
        {status("IZQ4\rU\r3.6 V\r7\rS\rmore\r"), "ZQ4|U|3.6 V|7|S"},
        {status("I\r\r\x01mV 12\r\r" + QByteArray(70, 'L') + "\r"),
         "||mV 12||" + QString(63, 'L') + "…"},
        {status("I\r\r\r\r" + QByteArray(64, 'L') + "\r"), "||||" + QString(64, 'L')},
        // Bytes are Latin-1 characters; a tab is a blank and other control bytes go, so the
        // model stays the version's first word. A line of which more than a quarter of the
        // bytes are no printable ASCII is noise.
        {status("I\tZQ5\tv1.03 Z\xFCrich\x85\rUnits:\x02 W.m-2\r3612mV\r\x7F"
                "5523\rLog\r"),
         "ZQ5 v1.03 Zürich|Units: W.m-2|3612mV|5523|Log"},
        {status("IZQ5\rU\r3V\r\xFC\xFC"
                "12345~\rLog\r"),
         "ZQ5|U|3V|üü12345~|Log"},
        {status("IZQ5\rU\r3V\r\xFC\xFC"
                "12345\rLog\r"),
         "refused: a line of noise"},
        {status("IZQ4\rU\rP\r7\r"), "refused: 4 of the 5 lines"},
        {status("\xAF\x01junk\n"), "refused: 0 of the 5 lines"},
        {status("ZQ4\rU\r3.6 V\r7\rS\r"), "refused: no \"I\" echo"},
        {status("IZQ4\rU\x01\rP\r7\rL\r"), "refused: a line of noise"},
        {readings("S123.4,56.7,1\r"), "123.4000015 56.70000076 sun"},
        {readings("\x13S9,\rxS123.4,56.7,1\r"), "123.4000015 56.70000076 sun"}, // noise first
        {readings("S 1 2.5 , 3\t4 ,0\r"), "12.5 34"}, // blanks inside numbers
        {readings("7,7,1\r"), "refused: no \"S\" echo"},
        {readings("S1e999,5,1\r"), outOfRange},
        {readings("S1e39,-5e38,1\r"), outOfRange}, // beyond a float
        {readings("Sinf,nan,1\r"), outOfRange},
        {readings("S12x,5,1\r"), outOfRange},
        {readings("S1,2\r"), "refused: not total,diffuse,sun"},
        {readings("S1,2,\r1\r"), "refused: not total,diffuse,sun"},
        {readings("S1,2,x\r"), "refused: sun neither 0 nor 1"},
        {readings("S1,2,1\rx"), "refused: no CR at the end"},
        {readings(""), "refused: no CR at the end"},
        {dump("E\r0x00: 10 00 0F F0 10 20 0F 00 00 FF 1G 00 FF FF 01 xx \r0x10: FF FF FF"),
         "4096 4080 4128 3840 255 0 65535 256"},
        // 880 characters or more are read without the marker, from the sixth character.
        {dump(unmarked), "4096 4080 1 2 3 4 5 6"},
        {dump(unmarked.left(879)), "refused: short reply without \"0x00:\""},
        {dump("E\r0x00: 10 00 0F"), "4096 3840 0 0 0 0 0 0"},
        // Five-character fields: rounded halves to even, too large for 32 bits or at all,
        // not a number; the eighth always empty.
        {user("E\r" + seven), "4101 4080 -12 4005 - - 0 0"},
        // 100 characters or more are read without the marker, from the ninth character.
        {user("12345678 4101  4080" + QString(90, '.')), "4101 4080 0 0 0 0 0 0"},
        {user("E\r?"), "refused: short reply without \"User:\""},
        {counts("S123.4,56.7,1 (1000 1010 990 1005 1002 998 1001 0)"),
         "123.4 56.7 1|1000 1010 990 1005 1002 998 1001 0"},
        {counts("S1,2,1(  10   20)"), "1 2 1|10 20 20 20 20 20 20 20"},    // the last repeats
        {counts("S5(1 2 3 4 5 6 7 8)"), "5 5 5|1 2 3 4 5 6 7 8"},          // fields from the start
        {counts("x\rS?S1,2,0(1 2 3 4 5 6 7 8)"), "1 2 0|1 2 3 4 5 6 7 8"}, // noise first
        {counts("S1e999,6,1(40000 1 1 1 1 1 1 1)"), "- 6 1|-"},
        {counts("S1,2,0(1 2 3 4 5 6 7 8"), notS},
        {counts(""), notS},
        {temperatures("I\rTherm temp  21.40\rChip temp  25.10\rVref   2.500"), "21.4 25.1"},
        // Seven characters each; no chip temperature reads 0.
        {temperatures("I\rTherm temp 1234567890\rVref 2.500"), "123456 0"},
        {temperatures("I\rTherm temp9e99999\rChip temp  25.10\r"), "- 25.1"},
        {temperatures("I\rVref   2.500\rSupply 3612mV"), noTherm},
        {temperatures("I\rTherm temp  21.40"), noTherm},
        {details("X\r0: 5523\r1: 2025-03-14"), "5523|2025-03-14"},
        {details("X\r0:\r1: x"), "|x"},
        {details("X?"), "refused: shorter than 5 characters"},
        {details("X\r0: " + QString(70, '9') + "\r1: d"), QString(63, '9') + "…|d"},
        {details("X\r\n0: 55\t23\x07\r\n1: 2025\r\n"), "55 23|2025"},
        {ratio("T\rSunshine ratio 1.21"), "\" 1.21\""},
        {ratio("T\rratio1.2"), "\"1.2\""},
        {ratio("ratio 1.21\r"), "\" 1.21\""},
        {ratio(""), "refused: no \"ratio\""},
    };
    for (const auto &[actual, expected] : rows)
        EXPECT_EQ(actual, expected);
    EXPECT_EQ(StatusInfoText("IZQ5\r") + StatusInfoText("ZQ5\r"), "ZQ5\rZQ5\r");
    EXPECT_EQ(StatusInfoText("xI\r" + clean), QString(clean.mid(1)));
    EXPECT_EQ(StatusInfoText(QByteArray(500, 'I')), QString(399, 'I') + "…");
    // A flood of random bytes is never a reading or a status, so never a reading of 0.
    std::mt19937 random{20261207};
    for (int round = 0; round < 2000; ++round) {
        QByteArray flood;
        while (flood.size() < 300)
            flood.append(random() % 20 == 0 ? '\r' : static_cast<char>(random() % 256));
        EXPECT_FALSE(ParseReadingsReply(flood + "\r").ok()) << hex(flood).toStdString();
        EXPECT_FALSE(ParseStatusReply(flood + "\r").ok()) << hex(flood).toStdString();
    }
}

TEST(TerminalText, TurnsEachByteIntoItsCharacterAndKeepsTheLast10000FromALineStart)
{
    const QByteArray x10001(10001, 'x');
    // (the reads, cut at each "|"; the text kept; the text shown, when it is not the text kept
    // with plain line breaks)
    const std::tuple<QByteArray, QString, QString> rows[] = {
        {"\r\n\xAF", QStringLiteral("\r\n\n\u00BB"), QStringLiteral("\n\u00BB")}, // "»"
        {"abc\b\b|d", "ad", ""},
        {"\b\b|x", "x", ""},                  // nothing to take back
        {"a\r\b", "a\r", "a"},                // a backspace after a line break takes its LF
        {"a\n\x07\tb", "a\n\x07\tb", "a\tb"}, // other control bytes kept, not drawn
        {QByteArray("a\0b", 3), QString("a") + QChar(0) + "b", "ab"},
        {x10001, QString(10000, 'x'), ""}, // without a line break the cut stays where it is
        {x10001.left(6000) + "|" + x10001.mid(6000), QString(10000, 'x'), ""},
        {QByteArray(9998, 'x') + "\r", QString(9998, 'x') + "\r\n", ""},
        // "first" falls off the front; the rest of its line goes with it.
        {"first\rsecond\r" + QByteArray(9990, 'y'), "second\r\n" + QString(9990, 'y'), ""},
        // The cut leaves the LF of "a" CR LF: that is no line break, the next one is.
        {"a\rcd\r|" + QByteArray(9995, 'y'), QString(9995, 'y'), ""},
    };
    for (const auto &[reads, kept, shown] : rows) {
        TerminalText text;
        for (const QByteArray &bytes : reads.split('|'))
            text.receive(bytes);
        EXPECT_EQ(text.text(), kept) << reads.left(20).toStdString();
        EXPECT_EQ(text.displayText(), shown.isEmpty() ? QString(kept).replace("\r\n", "\n") : shown)
            << reads.left(20).toStdString();
    }
}

TEST(LinkTrace, WritesEveryEventOfTheLineToItsFileOnlyWhileOn)
{
    QTemporaryDir folder;
    const QString path = folder.filePath("trace.txt");
    QString error;
    EXPECT_FALSE(StartLinkTrace(folder.filePath("none/trace.txt"), error) || error.isEmpty());
    VirtualClock clock;
    FakeSerialPort fake(clock);
    FakeLine &line = fake.addLine(3);
    fake.addLine(4).openError = SerialPort::ErrorPermission;
    TracingSerialPort port(fake);
    qCInfo(lcLink) << "off by default";
    TraceNote("status", "off by default");
    const auto readFrom = [&path](qint64 from) {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? QString(file.readAll().mid(from)) : QString();
    };
    // Two runs appended to one file: the second is set apart by a blank line and a rule.
    for (const QString &separator : {QString(), "\n" + QString(72, '-') + "\n"}) {
        const qint64 start = QFileInfo(path).size();
        ASSERT_TRUE(StartLinkTrace(path, error, &clock));
        const QStringList header = readFrom(start).split('\n');
        ASSERT_EQ(header.size(), separator.count('\n') + 4) << header.join('|').toStdString();
        EXPECT_EQ(separator.isEmpty() ? QString() : header.mid(0, 2).join('\n') + "\n", separator);
        EXPECT_TRUE(header.at(header.size() - 4).startsWith("10:00:00.000 trace of "));
        EXPECT_TRUE(header.at(header.size() - 3).startsWith("10:00:00.000 command line: "));
        EXPECT_TRUE(header.at(header.size() - 2).startsWith("10:00:00.000 started: 2026-06-01 "));
        StopLinkTrace();
    }
    ASSERT_TRUE(StartLinkTrace(path, error, &clock));
    // (what is done on the port; the lines it writes to the trace)
    const std::pair<std::function<void()>, QString> rows[] = {
        {[&] {
             TracePorts({"COM 1 = /dev/pts/3", "COM 2 = /dev/ttyS0"});
         },
         "10:00:00.000 port: COM 1 = /dev/pts/3\n10:00:00.000 port: COM 2 = /dev/ttyS0"},
        {[&] { TracePorts({}); }, "10:00:00.000 ports: none"},
        {[&] {
             port.setPortNumber(3);
             port.open();
         },
         "10:00:00.000 COM 3 open ok"},
        {[&] { port.write("I"); }, "10:00:00.000 COM 3 >> I | 49"},
        {[&] {
             line.deliver("IZ\r\xB5", 0.05);
             clock.advanceSeconds(0.05);
             port.read();
         },
         "10:00:00.050 COM 3 << IZ.. | 49 5A 0D B5"},
        {[&] {
             clock.advanceSeconds(0.1);
             port.read();
         },
         ""}, // nothing came: nothing to say
        {[&] { TraceNote("status", "Lost COM 3:\r\ngone"); },
         "10:00:00.150 status: Lost COM 3:\\r\\ngone"},
        {[&] { qCInfo(lcLink, "two\nlines"); }, "10:00:00.150 two\n10:00:00.150 lines"},
        {[&] {
             port.close();
             port.close();
         },
         "10:00:00.150 COM 3 close"},
        {[&] {
             port.setPortNumber(4);
             port.open();
         },
         "10:00:00.150 COM 4 open failed: 8021 Device cannot be opened"},
    };
    for (const auto &[action, expected] : rows) {
        const qint64 before = QFileInfo(path).size();
        action();
        EXPECT_EQ(readFrom(before), expected.isEmpty() ? "" : expected + "\n");
    }
    StopLinkTrace();
    // The header: arguments with blanks (or none) quoted, the offset of the start time.
    const QDateTime winter(QDate(2026, 1, 15), QTime(8, 5, 3));
    const QDateTime india(QDate(2026, 1, 15), QTime(8, 5, 3), QTimeZone(-19800));
    EXPECT_EQ(TraceHeader({"quorvel 1.0.0", {"quorvel", "--trace", "my trace.txt", ""}, winter}),
              QStringList({"trace of quorvel 1.0.0",
                           "command line: quorvel --trace \"my trace.txt\" \"\"",
                           "started: 2026-01-15 08:05:03, time zone " +
                               QTimeZone::systemTimeZoneId() + " (UTC+00:00)"}));
    EXPECT_TRUE(TraceHeader({"q", {}, india}).at(2).endsWith(" (UTC-05:30)"));
    EXPECT_TRUE(TraceHeader({"q", {}, winter.addDays(180)}).at(2).endsWith(" (UTC+01:00)"));
    qCInfo(lcLink) << "off again";
    TraceNote("status", "off again");
    EXPECT_FALSE(readFrom(0).contains("off"));
    EXPECT_EQ((LinkCounters{12, 1, 2, 3, 1, 1, 7}.text()),
              "Exchanges 12, time-outs 1, CRC failures 2, retries 3, port losses 1, reconnects 1, "
              "unasked bytes dropped 7");
}

} // namespace
