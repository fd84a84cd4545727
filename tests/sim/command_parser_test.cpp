#include "CommandParser.h"

#include <QStringList>

#include <gtest/gtest.h>

namespace {

using Kind = SimCommand::Kind;

// Runs the parser over a stream fed in pieces, changing mode as the instrument would.
QList<Kind> parse(const QList<QByteArray> &pieces, SimMode mode = SimMode::Prompt)
{
    CommandParser parser;
    QList<Kind> kinds;
    for (const auto &piece : pieces) {
        parser.append(piece);
        while (const auto command = parser.next(mode)) {
            kinds.append(command->kind);
            if (command->kind == Kind::EnterTest)
                mode = SimMode::Test;
            if (command->kind == Kind::Return)
                mode = SimMode::Prompt;
        }
    }
    return kinds;
}

} // namespace

TEST(CommandParser, CutsStreamsIntoCommandsByMode)
{
    struct Row
    {
        QByteArray stream;
        SimMode mode;
        QList<Kind> kinds;
    };
    const QList<Row> rows{
        {"RIST", SimMode::Prompt, {Kind::Return, Kind::Identify, Kind::Readings, Kind::EnterTest}},
        {"\r\nxU1I", SimMode::Prompt, {Kind::Identify}},
        {"U1SIEX\rT\r\nR",
         SimMode::Test,
         {Kind::SelectUnits, Kind::SensorCounts, Kind::Temperatures, Kind::CalibrationDump,
          Kind::Details, Kind::SunshineRatio, Kind::Return}},
        {"T\rS", SimMode::Test, {Kind::SunshineRatio, Kind::SensorCounts}},
        {"UR", SimMode::Test, {Kind::Unknown, Kind::Return}},
        {"XS", SimMode::Test, {Kind::Unknown, Kind::SensorCounts}},
        {"TU2", SimMode::Test, {Kind::Unknown, Kind::SelectUnits}},
        {"B\r\n Q", SimMode::Test, {Kind::Unknown, Kind::Unknown}},
        {"TU2", SimMode::Prompt, {Kind::EnterTest, Kind::SelectUnits}},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.stream.toStdString());
        EXPECT_EQ(parse({row.stream}, row.mode), row.kinds);
    }
}

TEST(CommandParser, GivesTheSameCommandsHoweverTheBytesArrive)
{
    const QByteArray stream("RTU0SX\rT\r\nEIQRS");
    const QList<Kind> expected = parse({stream});
    ASSERT_EQ(expected.size(), 11);
    for (int cut = 1; cut < stream.size(); ++cut) {
        SCOPED_TRACE(cut);
        EXPECT_EQ(parse({stream.left(cut), stream.mid(cut)}), expected);
    }
    QList<QByteArray> bytes;
    for (char byte : stream)
        bytes.append(QByteArray(1, byte));
    EXPECT_EQ(parse(bytes), expected);
}
