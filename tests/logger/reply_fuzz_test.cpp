// Random logger replies, well framed or spoilt, thrown at the logger window's read: it
// must never crash, never hang, always end enabled with the link free, and only ever
// show times or its own failure texts.
#include "LoggerWindowFixture.h"

#include <QRandomGenerator>
#include <QRegularExpression>

#include <algorithm>
#include <iterator>

namespace {

class ReplyFuzzTest : public LoggerWindowFixture
{
protected:
    QByteArray randomBytes(int size)
    {
        QByteArray bytes(size, '\0');
        for (int i = 0; i < size; ++i)
            bytes[i] = static_cast<char>(random.bounded(256));
        return bytes;
    }

    // A stamp that is valid half of the time, anything at all otherwise.
    QByteArray randomStamp()
    {
        if (random.bounded(2) == 0)
            return randomBytes(8);
        LoggerTimeStamp stamp;
        stamp.year = static_cast<quint16>(random.bounded(1990, 2100));
        stamp.day = static_cast<quint16>(random.bounded(0, 367));
        stamp.seconds = static_cast<quint32>(random.bounded(0, 86401));
        return stamp.encode();
    }

    QByteArray randomBlock()
    {
        QByteArray block = randomStamp() + randomBytes(4);
        const int filled = static_cast<int>(random.bounded(0, 126));
        for (int slot = 0; slot < 125; ++slot)
            block += slot < filled ? randomBytes(4) : QByteArray(4, '\xFF');
        return block;
    }

    quint16 randomBlockNumber()
    {
        return static_cast<quint16>(random.bounded(4) == 0
                                        ? random.bounded(65536)
                                        : random.bounded(logger.memoryBlocks + 1));
    }

    void randomLogger()
    {
        logger.memoryBlocks = static_cast<quint16>(
            random.bounded(3) == 0 ? random.bounded(65536) : random.bounded(1, 2048));
        logger.clockOffsetSeconds =
            random.bounded(3) == 0 ? random.bounded(2e9) - 1e9 : random.bounded(10000.0) - 5000.0;
        const auto start = randomBlockNumber();
        const auto dwnld = randomBlockNumber();
        const auto top = randomBlockNumber();
        logger.program = randomBytes(6);
        ::Frame::appendLe16(logger.program, start);
        ::Frame::appendLe16(logger.program, dwnld);
        ::Frame::appendLe16(logger.program, static_cast<quint16>(random.bounded(65536)));
        ::Frame::appendLe16(logger.program, top);
        logger.status = randomStamp() + randomStamp() + randomBytes(8);
        logger.blocks.clear();
        for (int block : {0, int(start), int(dwnld), int(top)})
            logger.blocks[block] = randomBlock();
        logger.power = QByteArray::number(random.bounded(0, 4000)) + "mV";

        using F = FakeLogger::Fault;
        static const F faults[] = {
            F::None,           F::None,        F::None,        F::Silent,       F::LengthTooShort,
            F::LengthTooLong,  F::Length255,   F::BadCrc,      F::OtherCommand, F::ShortReply,
            F::TruncatedBlock, F::BadBlockCrc, F::OtherAddress};
        logger.faults.clear();
        for (quint8 command : {15, 12, 10, 14, 18, 22}) {
            if (random.bounded(4) == 0)
                logger.faults[command] = faults[random.bounded(int(std::size(faults)))];
        }
    }

    static bool isTimeOr(const QString &shown, const QStringList &allowed)
    {
        return shown.isEmpty() || allowed.contains(shown) ||
               QRegularExpression(QStringLiteral("^\\d\\d-\\S+-\\d\\d \\d\\d:\\d\\d:\\d\\d$"))
                   .match(shown)
                   .hasMatch();
    }

    QRandomGenerator random{20261206};
};

TEST_F(ReplyFuzzTest, RandomRepliesNeverCrashHangOrShowNonsense)
{
    open();
    for (int round = 0; round < 400; ++round) {
        SCOPED_TRACE(round);
        randomLogger();
        const double t0 = clock.monotonicSeconds();
        ui().cmdRefresh->click();
        ASSERT_LT(clock.monotonicSeconds() - t0, 15.0);
        ASSERT_TRUE(window->isEnabled());
        ASSERT_FALSE(link.Active());
        const QString error = QStringLiteral("Error retrieving time");
        EXPECT_TRUE(isTimeOr(text(ui().lblLoggerTime), {error}))
            << text(ui().lblLoggerTime).toStdString();
        EXPECT_TRUE(isTimeOr(text(ui().lblNextRdg), {error, QStringLiteral("Not Logging")}));
        EXPECT_TRUE(isTimeOr(text(ui().lblFirstRecord), {QStringLiteral("Error retrieving data"),
                                                         QStringLiteral("No valid data")}));
        EXPECT_TRUE(isTimeOr(text(ui().lblLastRecord), {}))
            << text(ui().lblLastRecord).toStdString();
        EXPECT_TRUE(isTimeOr(text(ui().lblRetrieved), {}));
        EXPECT_GE(state().RecordsLogged, 0);
        EXPECT_GE(state().RecordsRetrieved, 0);
        EXPECT_LE(state().StartBlock, std::max<qint64>(state().MemoryBlocks, 0));
        EXPECT_LE(state().LogTop, std::max<qint64>(state().MemoryBlocks, 0));
        // A few ticks on the way, as the window's timer would run them.
        clock.advanceSeconds(random.bounded(120.0));
        window->Timer1_Timer();
    }
}

} // namespace
