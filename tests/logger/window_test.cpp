// The logger window against a fake logger: what it reads, in which order, and what it
// shows for a logger that is logging, one that is stopped, an empty dataset, failed and
// malformed replies, the default program, the power warning and the clock colours.
#include "LoggerWindowFixture.h"

#include "common/NamedFormats.h"
#include "logger/MemoryBar.h"

#include <QAbstractButton>
#include <QApplication>
#include <QGroupBox>

namespace {

using LoggerWindowTest = LoggerWindowFixture;

const QColor Light = QColor::fromRgb(MemoryBar::DownloadedRgb);
const QColor Dark = QColor::fromRgb(MemoryBar::NotDownloadedRgb);
const QColor Red(255, 0, 0);

QByteArray hex(const char *text)
{
    return QByteArray::fromHex(text);
}

TEST_F(LoggerWindowTest, ALoggerThatIsLoggingIsReadCommandByCommand)
{
    open();

    const QList<quint8> commands = {15, 12, 10, 14, 18, 22, 18};
    ASSERT_EQ(logger.commands(), commands);
    const quint16 addresses[] = {0, 0, 0, 0, 10, 14, 12};
    const QByteArray data[] = {{}, {}, {}, {}, hex("0c00"), hex("0002"), hex("0c00")};
    for (int i = 0; i < commands.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(logger.frames.at(i).address, addresses[i]);
        EXPECT_EQ(logger.frames.at(i).data, data[i]);
    }

    EXPECT_EQ(window->windowTitle(), QStringLiteral("Logger"));
    EXPECT_EQ(text(ui().Label6),
              QStringLiteral("Serial No.\nFirmware version\nUnits\nPower\nMemory size"));
    EXPECT_EQ(text(ui().lblSerial), QStringLiteral("5523\nZQ5 v3.2\nW.m-2\n3612mV\n512kB"));
    EXPECT_EQ(text(ui().lblLoggerTime), QStringLiteral("01-Jun-26 10:00:00"));
    EXPECT_EQ(text(ui().lblNextRdg), QStringLiteral("01-Jun-26 10:01:00"));
    EXPECT_EQ(text(ui().lblFirstRecord), QStringLiteral("31-May-26 20:00:00"));
    // 47 records in the top block from 09:00, one a minute.
    EXPECT_EQ(text(ui().lblLastRecord), QStringLiteral("01-Jun-26 09:46:00"));
    // Offset 100 of block 12 is its 23rd record.
    EXPECT_EQ(text(ui().lblRetrieved), QStringLiteral("01-Jun-26 01:22:00"));

    EXPECT_EQ(state().MemoryBlocks, 1024);
    EXPECT_EQ(state().TopFill, 196);
    EXPECT_EQ(state().RecordsRetrieved, 2 * 125 + 23);
    EXPECT_EQ(state().RecordsLogged, 4 * 125 + 47);
    EXPECT_EQ(state().LogPeriod, 10);
    EXPECT_EQ(state().AvgPeriod, 60);

    EXPECT_EQ(ui().cboRdg->currentText(), QStringLiteral("10s"));
    EXPECT_EQ(ui().cboAvg->currentText(), QStringLiteral("1m"));
    EXPECT_EQ(items(ui().cboAvg), QStringList({"10s", "30s", "1m", "5m", "10m", "30m", "1h", "3h",
                                               "6h", "12h", "24h"}));
    EXPECT_FALSE(ui().chkOverwrite->isChecked());
    EXPECT_EQ(ui().cmdStartLogging->text(), QStringLiteral("Stop logging"));
    EXPECT_FALSE(ui().cboRdg->isEnabled());
    EXPECT_FALSE(ui().cboAvg->isEnabled());
    EXPECT_FALSE(ui().chkOverwrite->isEnabled());

    // Memory full once the 127453 free slots have filled after the last record.
    EXPECT_EQ(text(ui().lblMemoryFullAt), QStringLiteral("Memory full at"));
    EXPECT_EQ(text(ui().lblMemoryFull), QStringLiteral("28-Aug-26 21:59:00"));
    EXPECT_FALSE(ui().lblMemoryFull->isHidden());
    EXPECT_FALSE(ui().lblMemoryFullAt->isHidden());
    EXPECT_TRUE(ui().lblEstimatedFull->isHidden());
    EXPECT_TRUE(ui().lblEstimatedFullAt->isHidden());

    EXPECT_EQ(textColour(ui().lblFirstRecord), Light);
    EXPECT_EQ(textColour(ui().lblLastRecord), Dark);
    EXPECT_EQ(textColour(ui().lblRetrieved), Light);

    EXPECT_EQ(ui().StatusBar1->currentMessage(), link.Status());
    EXPECT_FALSE(ui().StatusBar1->currentMessage().isEmpty());
    EXPECT_TRUE(window->isEnabled());
    EXPECT_TRUE(window->Timer1.isActive());
    EXPECT_EQ(window->Timer1.interval(), 1000);
    EXPECT_EQ(window->packets().PacketDelay(), 25);
    EXPECT_FALSE(QApplication::overrideCursor());
}

TEST_F(LoggerWindowTest, EachBlockDatesItsRecordsWithItsOwnPeriods)
{
    // The dataset began with one-minute records; the later blocks hold five-minute ones.
    logger.blocks[12] = FakeLogger::block(StampAt(2026, 6, 1, 1, 0, 0), 0x05, 0x45, 125);
    logger.blocks[14] = FakeLogger::block(StampAt(2026, 6, 1, 9, 0, 0), 0x05, 0x45, 47);
    open();
    EXPECT_EQ(text(ui().lblFirstRecord), QStringLiteral("31-May-26 20:00:00"));
    EXPECT_EQ(text(ui().lblLastRecord), QStringLiteral("01-Jun-26 12:50:00"));
    EXPECT_EQ(text(ui().lblRetrieved), QStringLiteral("01-Jun-26 02:50:00"));
}

TEST_F(LoggerWindowTest, OverwriteShowsWhenDataNotYetDownloadedIsOverwritten)
{
    logger.setProgram(0x0A, 0x41, 0x03, 10, 12, 100, 14);
    open();
    EXPECT_TRUE(ui().chkOverwrite->isChecked());
    EXPECT_EQ(text(ui().lblMemoryFullAt), QStringLiteral("New data overwritten"));
    // 1012 blocks from the download position, less its 25 + 3 records, after 01:22.
    EXPECT_EQ(text(ui().lblMemoryFull), QStringLiteral("27-Aug-26 21:14:00"));
}

TEST_F(LoggerWindowTest, AStoppedLoggerOffersItsProgramAndPredictsMemoryFull)
{
    logger.setProgram(0x0A, 0x41, 0x00, 10, 12, 100, 14);
    open();
    EXPECT_EQ(text(ui().lblNextRdg), QStringLiteral("Not Logging"));
    EXPECT_EQ(ui().cmdStartLogging->text(), QStringLiteral("Start Logging"));
    EXPECT_TRUE(ui().cboRdg->isEnabled());
    EXPECT_TRUE(ui().cboAvg->isEnabled());
    EXPECT_TRUE(ui().chkOverwrite->isEnabled());
    EXPECT_TRUE(ui().lblMemoryFull->isHidden());
    EXPECT_TRUE(ui().lblMemoryFullAt->isHidden());
    EXPECT_FALSE(ui().lblEstimatedFull->isHidden());
    EXPECT_EQ(text(ui().lblEstimatedFullAt), QStringLiteral("Predicted memory full"));
    // From 10:00, the start of the current minute on the logger's clock, 128000 minutes on.
    const double expected =
        Days(2026, 6, 1, 10, 0, 0) + state().ClockOffset + SecondsToDays(128000.0 * 60.0);
    EXPECT_EQ(text(ui().lblEstimatedFull), FormatLoggerTime(expected, true));
    // The dataset is still shown.
    EXPECT_EQ(text(ui().lblFirstRecord), QStringLiteral("31-May-26 20:00:00"));
    EXPECT_EQ(state().RecordsLogged, 547);
}

TEST_F(LoggerWindowTest, AnEmptyDatasetShowsNoValidData)
{
    logger.blocks[10] = QByteArray(512, '\0');
    open();
    EXPECT_EQ(text(ui().lblFirstRecord), QStringLiteral("No valid data"));
    EXPECT_TRUE(text(ui().lblLastRecord).isEmpty());
    EXPECT_TRUE(text(ui().lblRetrieved).isEmpty());
    EXPECT_EQ(state().RecordsLogged, 0);
    EXPECT_EQ(state().RecordsRetrieved, 0);
    EXPECT_DOUBLE_EQ(state().FirstRecordTime, state().NextRecordTime);
    // Nothing more is read once the dataset has no start.
    EXPECT_EQ(logger.commands(), (QList<quint8>{15, 12, 10, 14, 18}));
}

TEST_F(LoggerWindowTest, AFailedClockReadStopsTheClock)
{
    logger.faults[12] = FakeLogger::Fault::Silent;
    open();
    EXPECT_EQ(text(ui().lblLoggerTime), QStringLiteral("Error retrieving time"));
    EXPECT_FALSE(window->Timer1.isActive());
    // The rest of the read goes on.
    EXPECT_EQ(text(ui().lblFirstRecord), QStringLiteral("31-May-26 20:00:00"));

    // A refresh that still cannot read the clock does not restart it either, so the
    // error stays in place of a made-up logger time.
    ui().cmdRefresh->click();
    EXPECT_FALSE(window->Timer1.isActive());
    EXPECT_EQ(text(ui().lblLoggerTime), QStringLiteral("Error retrieving time"));

    logger.faults.clear();
    ui().cmdRefresh->click();
    EXPECT_TRUE(window->Timer1.isActive());
    EXPECT_TRUE(text(ui().lblLoggerTime).startsWith(QStringLiteral("01-Jun-26 10:00:0")));
}

TEST_F(LoggerWindowTest, BlockNumbersBeyondTheMemoryFallBackToTheDefaultProgram)
{
    logger.memoryBlocks = 100;
    logger.setProgram(0x0A, 0x41, 0x03, 10, 12, 100, 200);
    logger.blocks[0] = FakeLogger::block(StampAt(2026, 6, 1, 8, 0, 0), 0x01, 0x01, 3);
    open();
    EXPECT_EQ(state().LogPeriod, 1);
    EXPECT_EQ(state().AvgPeriod, 1);
    EXPECT_EQ(state().Flags, 0);
    EXPECT_EQ(state().StartBlock, 0);
    EXPECT_EQ(state().LogTop, 0);
    EXPECT_EQ(ui().cboRdg->currentText(), QStringLiteral("1s"));
    EXPECT_EQ(ui().cboAvg->currentText(), QStringLiteral("1s"));
    EXPECT_FALSE(ui().chkOverwrite->isChecked());
    EXPECT_EQ(ui().cmdStartLogging->text(), QStringLiteral("Start Logging"));
    EXPECT_EQ(text(ui().lblNextRdg), QStringLiteral("Not Logging"));
    // The counts use block 0: three records, none downloaded.
    EXPECT_EQ(logger.commands(), (QList<quint8>{15, 12, 10, 14, 18, 22}));
    EXPECT_EQ(logger.frames.at(4).address, 0);
    EXPECT_EQ(logger.frames.at(5).address, 0);
    EXPECT_EQ(state().RecordsLogged, 3);
    EXPECT_EQ(state().RecordsRetrieved, 0);
    EXPECT_EQ(text(ui().lblLastRecord), QStringLiteral("01-Jun-26 08:00:02"));
}

TEST_F(LoggerWindowTest, TheSerialPanelMarksLowPowerAndHalfKilobytes)
{
    const struct
    {
        QByteArray units;
        QByteArray power;
        quint16 memoryBlocks;
        QString shown;
    } cases[] = {
        {"Units: W.m-2", "1600mV", 1024, "5523\nZQ5 v3.2\nW.m-2\n!! 1600mV !!\n512kB"},
        {"Units: W.m-2", "1601mV", 1024, "5523\nZQ5 v3.2\nW.m-2\n1601mV\n512kB"},
        {"Units: W.m-2", "0mV", 1024, "5523\nZQ5 v3.2\nW.m-2\n!! 0mV !!\n512kB"},
        {"Units: W.m-2", "3612mV", 1023, "5523\nZQ5 v3.2\nW.m-2\n3612mV\n511.5kB"},
        // A units text too narrow to hold a unit leaves its line empty.
        {"Units: ", "3612mV", 1024, "5523\nZQ5 v3.2\n\n3612mV\n512kB"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.shown.toStdString());
        logger.units = c.units;
        logger.power = c.power;
        logger.memoryBlocks = c.memoryBlocks;
        open();
        EXPECT_EQ(text(ui().lblSerial), c.shown);
    }
}

TEST_F(LoggerWindowTest, ClockColoursFollowTheOffset)
{
    enum Look { Normal, RedText, RedBackground };
    const struct
    {
        double offset;
        Look look;
    } cases[] = {
        {0, Normal},           {300, Normal},          {-299, Normal},
        {301, RedText},        {-301, RedText},        {3900, RedText},
        {3901, RedBackground}, {-3901, RedBackground}, {86400 * 400, RedBackground},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.offset);
        logger.clockOffsetSeconds = c.offset;
        open();
        const QPalette normal = QApplication::palette(ui().lblLoggerTime);
        const QColor text = c.look == RedText ? Red : normal.color(QPalette::WindowText);
        const QColor background = c.look == RedBackground ? Red : normal.color(QPalette::Window);
        const QPalette shown = ui().lblLoggerTime->palette();
        EXPECT_EQ(shown.color(QPalette::WindowText), text);
        EXPECT_EQ(shown.color(QPalette::Window), background);
        EXPECT_EQ(ui().lblLoggerTime->autoFillBackground(), c.look == RedBackground);
        // The text box mirrors the label.
        EXPECT_EQ(ui().txtLoggerTime->text(), ui().lblLoggerTime->text());
        EXPECT_EQ(ui().txtLoggerTime->palette().color(QPalette::Text), text);
        EXPECT_EQ(ui().txtLoggerTime->palette().color(QPalette::Base), background);
        EXPECT_NEAR(DaysToSeconds(state().ClockOffset), c.offset, 1.0);
    }
}

// What the window shows after one spoilt reply: the read goes on, and only the part
// that reply stood for shows its failure.
struct BadReplyCase
{
    quint8 command;
    FakeLogger::Fault fault;
};

class BadReplyTest : public LoggerWindowFixture, public ::testing::WithParamInterface<BadReplyCase>
{
};

TEST_P(BadReplyTest, TheExchangeFailsAndTheWindowSaysSo)
{
    const BadReplyCase c = GetParam();
    // A first read puts the last record in place, so a failed top block can leave it.
    open();
    const QRect bar2 = ui().Bar2->geometry();
    logger.frames.clear();
    logger.faults[c.command] = c.fault;
    const double t0 = clock.monotonicSeconds();
    ui().cmdRefresh->click();
    // Each failed exchange ends within its time-outs.
    EXPECT_LT(clock.monotonicSeconds() - t0, 12.0);
    EXPECT_FALSE(link.Active());
    EXPECT_TRUE(window->isEnabled());

    const QString clockText = c.command == 12 ? QStringLiteral("Error retrieving time")
                                              : QStringLiteral("01-Jun-26 10:00:");
    EXPECT_TRUE(text(ui().lblLoggerTime).startsWith(clockText))
        << text(ui().lblLoggerTime).toStdString();

    switch (c.command) {
    case 15:
        // No memory size: the program's block numbers lie beyond it, and the bar stays
        // as it was.
        EXPECT_TRUE(text(ui().lblSerial).endsWith(QStringLiteral("\n0kB")));
        EXPECT_EQ(state().MemoryBlocks, 0);
        EXPECT_EQ(ui().Bar2->geometry(), bar2);
        EXPECT_EQ(ui().cmdStartLogging->text(), QStringLiteral("Start Logging"));
        EXPECT_EQ(text(ui().lblNextRdg), QStringLiteral("Not Logging"));
        break;
    case 12:
        EXPECT_FALSE(window->Timer1.isActive());
        EXPECT_EQ(text(ui().lblFirstRecord), QStringLiteral("31-May-26 20:00:00"));
        break;
    case 10:
        // The default program, but the lists keep what they showed.
        EXPECT_EQ(state().Flags, 0);
        EXPECT_EQ(state().LogTop, 0);
        EXPECT_EQ(ui().cboRdg->currentText(), QStringLiteral("10s"));
        EXPECT_EQ(ui().cmdStartLogging->text(), QStringLiteral("Stop logging"));
        EXPECT_EQ(text(ui().lblNextRdg), QStringLiteral("Not Logging"));
        break;
    case 14:
        EXPECT_EQ(text(ui().lblNextRdg), QStringLiteral("Error retrieving time"));
        EXPECT_EQ(text(ui().lblFirstRecord), QStringLiteral("31-May-26 20:00:00"));
        break;
    case 18:
        EXPECT_EQ(text(ui().lblFirstRecord), QStringLiteral("Error retrieving data"));
        EXPECT_TRUE(text(ui().lblLastRecord).isEmpty());
        EXPECT_TRUE(text(ui().lblRetrieved).isEmpty());
        EXPECT_EQ(state().RecordsLogged, 0);
        EXPECT_EQ(state().RecordsRetrieved, 0);
        break;
    case 22:
        // The last record stays as it was; the top block counts no records.
        EXPECT_EQ(text(ui().lblLastRecord), QStringLiteral("01-Jun-26 09:46:00"));
        EXPECT_EQ(state().TopFill, 0);
        EXPECT_EQ(state().RecordsLogged, 500);
        EXPECT_EQ(text(ui().lblRetrieved), QStringLiteral("01-Jun-26 01:22:00"));
        break;
    default:
        FAIL();
    }

    // The next read, with a good line, is whole again.
    logger.faults.clear();
    ui().cmdRefresh->click();
    EXPECT_EQ(text(ui().lblFirstRecord), QStringLiteral("31-May-26 20:00:00"));
    EXPECT_EQ(text(ui().lblLastRecord), QStringLiteral("01-Jun-26 09:46:00"));
    EXPECT_EQ(state().RecordsLogged, 547);
}

std::vector<BadReplyCase> badReplies()
{
    using F = FakeLogger::Fault;
    std::vector<BadReplyCase> cases;
    for (quint8 command : {15, 12, 10, 14, 18, 22}) {
        for (F fault : {F::Silent, F::LengthTooShort, F::LengthTooLong, F::Length255, F::BadCrc,
                        F::OtherCommand, F::ShortReply})
            cases.push_back({command, fault});
    }
    cases.push_back({22, F::TruncatedBlock});
    cases.push_back({22, F::BadBlockCrc});
    cases.push_back({22, F::OtherAddress});
    return cases;
}

std::string badReplyName(const ::testing::TestParamInfo<BadReplyCase> &param)
{
    static const char *const names[] = {
        "None",         "Silent",     "LengthTooShort", "LengthTooLong", "Length255",   "BadCrc",
        "OtherCommand", "ShortReply", "TruncatedBlock", "BadBlockCrc",   "OtherAddress"};
    return "Command" + std::to_string(param.param.command) +
           names[static_cast<int>(param.param.fault)];
}

INSTANTIATE_TEST_SUITE_P(EveryCommand, BadReplyTest, ::testing::ValuesIn(badReplies()),
                         badReplyName);

TEST_F(LoggerWindowTest, TheClockAndNextRecordMoveEverySecond)
{
    open();
    const int reads = logger.commands().count(15);
    clock.advanceSeconds(2);
    window->Timer1_Timer();
    EXPECT_EQ(text(ui().lblLoggerTime), QStringLiteral("01-Jun-26 10:00:02"));
    EXPECT_EQ(ui().txtLoggerTime->text(), QStringLiteral("01-Jun-26 10:00:02"));
    EXPECT_EQ(text(ui().lblNextRdg), QStringLiteral("01-Jun-26 10:01:00"));

    // The record at 10:01 is stored: the labels move on by one period.
    clock.setNow(QDateTime(QDate(2026, 6, 1), QTime(10, 1, 0, 500)));
    window->Timer1_Timer();
    EXPECT_EQ(text(ui().lblNextRdg), QStringLiteral("01-Jun-26 10:02:00"));
    EXPECT_EQ(text(ui().lblLastRecord), QStringLiteral("01-Jun-26 10:01:00"));
    EXPECT_EQ(text(ui().lblFirstRecord), QStringLiteral("31-May-26 20:00:00"));
    EXPECT_EQ(state().TopFill, 200);

    // Far behind, the next record moves two periods at most.
    clock.setNow(QDateTime(QDate(2026, 6, 1), QTime(10, 30, 0)));
    window->Timer1_Timer();
    EXPECT_EQ(text(ui().lblNextRdg), QStringLiteral("01-Jun-26 10:04:00"));
    EXPECT_EQ(state().TopFill, 204);
    EXPECT_EQ(logger.commands().count(15), reads);
}

TEST_F(LoggerWindowTest, AFullTopBlockMakesTheWindowReadAgain)
{
    logger.setStatus(StampAt(2026, 6, 1, 10, 0, 30), StampAt(2026, 6, 1, 10, 1, 0), 508);
    logger.blocks[14] = FakeLogger::block(StampAt(2026, 6, 1, 9, 0, 0), 0x0A, 0x41, 125);
    open();
    EXPECT_EQ(state().TopFill, 508);
    const int reads = logger.commands().count(15);
    clock.setNow(QDateTime(QDate(2026, 6, 1), QTime(10, 1, 1)));
    window->Timer1_Timer();
    EXPECT_EQ(logger.commands().count(15), reads + 1);
    EXPECT_EQ(state().TopFill, 508);
}

TEST_F(LoggerWindowTest, TheClockUsesTheLoggersOffset)
{
    logger.clockOffsetSeconds = -3600;
    open();
    EXPECT_EQ(text(ui().lblLoggerTime), QStringLiteral("01-Jun-26 09:00:00"));
    clock.setNow(QDateTime(QDate(2026, 6, 1), QTime(12, 0, 0)));
    window->Timer1_Timer();
    EXPECT_TRUE(text(ui().lblLoggerTime).startsWith(QStringLiteral("01-Jun-26 10:59:5")));
}

TEST_F(LoggerWindowTest, ProgramPeriodsSelectTheFirstListEntryNotShorter)
{
    const struct
    {
        const char *name;
        quint8 readingCode;
        quint8 averagingCode;
        const char *reading;
        qint32 logPeriod;
        const char *averaging; // "" when nothing is selected
        qint32 avgPeriod;
    } cases[] = {
        {"ThreeAndSevenSeconds", 0x03, 0x07, "5s", 5, "10s", 10},
        // An averaging period read as shorter is raised to the reading period.
        {"AveragingShorter", 0x41, 0x05, "1m", 60, "1m", 60},
        // 48 hours: no entry of the averaging list is that long.
        {"AveragingBeyondTheList", 0x01, 0xB0, "1s", 1, "", 48 * 3600},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        logger.setProgram(c.readingCode, c.averagingCode, 0x00, 10, 12, 100, 14);
        open();
        EXPECT_EQ(ui().cboRdg->currentText(), QString::fromLatin1(c.reading));
        EXPECT_EQ(state().LogPeriod, c.logPeriod);
        EXPECT_EQ(ui().cboAvg->currentText(), QString::fromLatin1(c.averaging));
        EXPECT_EQ(ui().cboAvg->currentIndex() == -1, *c.averaging == '\0');
        EXPECT_EQ(state().AvgPeriod, c.avgPeriod);
        EXPECT_EQ(items(ui().cboAvg).first(), QString::fromLatin1(c.reading));
        EXPECT_FALSE(text(ui().lblEstimatedFull).isEmpty());
    }
}

TEST_F(LoggerWindowTest, ChoosingAReadingPeriodRebuildsTheAveragingList)
{
    logger.setProgram(0x01, 0x05, 0x00, 10, 12, 100, 14);
    open();
    const QString before = text(ui().lblEstimatedFull);
    ui().cboRdg->setCurrentIndex(7); // "10m", as the user picks it
    EXPECT_EQ(items(ui().cboAvg), QStringList({"10m", "30m", "1h", "3h", "6h", "12h", "24h"}));
    EXPECT_EQ(ui().cboAvg->currentText(), QStringLiteral("10m"));
    EXPECT_EQ(state().LogPeriod, 600);
    EXPECT_EQ(state().AvgPeriod, 600);
    EXPECT_NE(text(ui().lblEstimatedFull), before);

    // Back to a short reading period: the averaging period stays the first one that is
    // not shorter than the one chosen.
    ui().cboRdg->setCurrentIndex(0);
    EXPECT_EQ(items(ui().cboAvg).size(), 14);
    EXPECT_EQ(ui().cboAvg->currentText(), QStringLiteral("10m"));
    ui().cboAvg->setCurrentIndex(ui().cboAvg->findText(QStringLiteral("6h")));
    EXPECT_EQ(state().AvgPeriod, 21600);
}

TEST_F(LoggerWindowTest, BeforeTheFirstReadTheListsHoldTheirInitialEntriesAndShowingLoads)
{
    window = std::make_unique<frmLogger>(link, clock, pump, prompts);
    EXPECT_EQ(items(ui().cboRdg),
              QStringList({"1s", "2s", "5s", "10s", "30s", "1m", "5m", "10m", "30m", "1h"}));
    EXPECT_EQ(items(ui().cboAvg), items(ui().cboRdg));
    EXPECT_EQ(ui().cboRdg->currentIndex(), -1);
    EXPECT_EQ(ui().cboAvg->currentIndex(), -1);
    EXPECT_TRUE(window->Timer1.isActive());
    EXPECT_EQ(window->packets().PacketDelay(), 0);
    EXPECT_TRUE(logger.frames.isEmpty());

    // Showing the window loads it, once.
    window->show();
    EXPECT_FALSE(window->isEnabled());
    QApplication::processEvents();
    EXPECT_TRUE(window->isEnabled());
    EXPECT_EQ(logger.commands().size(), 7);
    EXPECT_EQ(text(ui().lblFirstRecord), QStringLiteral("31-May-26 20:00:00"));
    window->hide();
    window->show();
    QApplication::processEvents();
    EXPECT_EQ(logger.commands().size(), 7);
}

TEST_F(LoggerWindowTest, ThePacketsOfTheFirstReadGoOutWithoutPauseAndLaterOnesAfterOne)
{
    open();
    ASSERT_EQ(logger.frames.size(), 7);
    // Between the memory size and the clock request: the reply's time only.
    const double firstGap = logger.frames.at(1).at - logger.frames.at(0).at;
    logger.frames.clear();
    ui().cmdRefresh->click();
    ASSERT_EQ(logger.frames.size(), 7);
    EXPECT_NEAR((logger.frames.at(1).at - logger.frames.at(0).at) - firstGap, 0.025, 0.002);
}

TEST_F(LoggerWindowTest, MemoryBarShowsDownloadedAndNewRecords)
{
    logger.memoryBlocks = 8;
    logger.setProgram(0x01, 0x01, 0x00, 0, 4, 8, 7);
    for (int block = 0; block < 8; ++block)
        logger.blocks[block] = FakeLogger::block(StampAt(2026, 6, 1, block, 0, 0), 1, 1, 125);
    open();
    // 500 of 1000 records downloaded, all 1000 logged.
    EXPECT_EQ(state().RecordsRetrieved, 500);
    EXPECT_EQ(state().RecordsLogged, 1000);
    const QRect inner = ui().Picture1->contentsRect();
    EXPECT_EQ(inner.width(), LoggerControls::BarScaleWidth);
    EXPECT_EQ(ui().Bar1->geometry(), QRect(inner.left(), inner.top(), 150, inner.height()));
    EXPECT_EQ(ui().Bar2->geometry(), QRect(inner.left() + 150, inner.top(), 150, inner.height()));
    EXPECT_EQ(ui().Bar1->palette().color(QPalette::Window), Light);
    EXPECT_EQ(ui().Bar2->palette().color(QPalette::Window), Dark);
    EXPECT_TRUE(ui().Bar1->autoFillBackground());
    EXPECT_EQ(textColour(ui().lblFirstRecord), Light);
    EXPECT_EQ(textColour(ui().lblLastRecord), Dark);
}

TEST_F(LoggerWindowTest, ClosingGivesTheInstrumentBack)
{
    open();
    window->close();
    EXPECT_EQ(giveBacks, 1);
    EXPECT_FALSE(window->Timer1.isActive());
    EXPECT_FALSE(window->isVisible());
}

TEST_F(LoggerWindowTest, ACloseDuringAReadWaitsForTheReadToEnd)
{
    open();
    logger.frames.clear();
    bool asked = false;
    pump.hook = [&] {
        if (!asked && logger.frames.size() == 3) {
            asked = true;
            window->close();
            // A tick in the middle of the read leaves it alone.
            window->Timer1_Timer();
        }
    };
    ui().cmdRefresh->click();
    EXPECT_TRUE(asked);
    EXPECT_EQ(logger.commands(), (QList<quint8>{15, 12, 10, 14, 18, 22, 18}));
    EXPECT_EQ(giveBacks, 1);
    EXPECT_FALSE(window->isVisible());
    EXPECT_FALSE(window->Timer1.isActive()) << "no clock tick behind the main window";
    EXPECT_EQ(text(ui().lblLastRecord), QStringLiteral("01-Jun-26 09:46:00"));
}

TEST_F(LoggerWindowTest, ACloseWhileTheWindowLoadsWaitsForTheLoad)
{
    window = std::make_unique<frmLogger>(link, clock, pump, prompts, [this] { ++giveBacks; });
    int ticksBefore = 0;
    pump.hook = [&] {
        // The window's own events run before the first read: a close and a tick come.
        if (logger.frames.isEmpty() && ticksBefore++ == 0) {
            window->close();
            window->Timer1_Timer();
        }
    };
    window->Form_Load();
    EXPECT_EQ(logger.commands().size(), 7);
    EXPECT_FALSE(window->isVisible());
    EXPECT_EQ(giveBacks, 1);
    // The tick did not put the computer's clock in place of the logger's.
    EXPECT_EQ(text(ui().lblLoggerTime), QStringLiteral("01-Jun-26 10:00:00"));
}

TEST_F(LoggerWindowTest, AWindowClosedBeforeItsFirstReadStaysClosed)
{
    window = std::make_unique<frmLogger>(link, clock, pump, prompts, [this] { ++giveBacks; });
    window->show();
    window->close();
    QApplication::processEvents();
    EXPECT_FALSE(window->isVisible());
    EXPECT_TRUE(logger.frames.isEmpty());
    EXPECT_EQ(giveBacks, 1);
}

TEST_F(LoggerWindowTest, CaptionsAndToolTips)
{
    window = std::make_unique<frmLogger>(link, clock, pump, prompts);
    const struct
    {
        QString name;
        QString caption;
        QString toolTip;
    } controls[] = {
        {"Frame3", "Logger", ""},
        {"Frame2", "Dataset", ""},
        {"Frame1", "Program", ""},
        {"Label8", "Clock", ""},
        {"lblLoggerTime", "", "Logger Date & Time"},
        {"txtLoggerTime", "", "Logger time"},
        {"Label3", "Next record at", ""},
        {"lblNextRdg", "", "When the next record is due to be stored"},
        {"Label4", "First record", ""},
        {"lblFirstRecord", "", "First record in the dataset"},
        {"Label9", "Last record", ""},
        {"lblLastRecord", "", "The time of the most recent record in the dataset"},
        {"Label10", "Last record retrieved", ""},
        {"lblRetrieved", "", "The last record that has already been downloaded"},
        {"cmdRefresh", "&Refresh", "Get logging information from sensor"},
        {"cmdStartLogging", "Start &Logging", ""},
        {"cmdSetTime", "&Set time", "Change the logger's clock"},
        {"cmdDownload", "&Download", ""},
        {"cboRdg", "", "How often a reading is taken"},
        {"cboAvg", "", "How often a reading is stored"},
        {"chkOverwrite", "",
         "If checked, older readings are deleted to make room for newer "
         "readings"},
        {"Label5", "Overwrite", ""},
        {"Label1", "Reading Period", ""},
        {"Label2", "Average period", ""},
        {"lblMemoryFull", "", "When memory will be full, or new records will be overwritten"},
        {"lblEstimatedFull", "", "When memory would be full with these program settings"},
    };
    for (const auto &c : controls) {
        SCOPED_TRACE(c.name.toStdString());
        auto *widget = window->findChild<QWidget *>(c.name);
        ASSERT_TRUE(widget);
        QString caption;
        if (auto *label = qobject_cast<QLabel *>(widget))
            caption = label->text();
        else if (auto *button = qobject_cast<QAbstractButton *>(widget))
            caption = button->text();
        else if (auto *frame = qobject_cast<QGroupBox *>(widget))
            caption = frame->title();
        EXPECT_EQ(caption, c.caption);
        EXPECT_EQ(widget->toolTip(), c.toolTip);
    }
    for (const char *name : {"Picture1", "Bar1", "Bar2", "Label6", "lblSerial", "StatusBar1"})
        EXPECT_TRUE(window->findChild<QWidget *>(QString::fromLatin1(name))) << name;
}

} // namespace
