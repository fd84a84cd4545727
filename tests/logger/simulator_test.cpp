// The logger window against the simulated instrument: what the window shows must match
// the dataset the simulated logger holds, at the line's real pace too.
#include "Instrument.h"
#include "QtPrinters.h"
#include "RecordingPrompts.h"
#include "SimulatedLine.h"
#include "common/NamedFormats.h"
#include "link/SensorLink.h"
#include "logger/ui/frmLogger.h"
#include "platform/FakeEventPump.h"
#include "platform/FakeSerialPort.h"
#include "platform/VirtualClock.h"

#include <QComboBox>
#include <QLabel>
#include <QPushButton>

#include <gtest/gtest.h>

#include <memory>

namespace {

struct SimCase
{
    const char *name;
    SimPrefillOptions prefill;
    bool paced;
    int memoryBlocks;
};

class SimulatorWindowTest : public ::testing::Test
{
protected:
    void open(const SimCase &c)
    {
        InstrumentOptions options(SimModel::ZQ5);
        options.logger.prefill = c.prefill;
        options.logger.memoryBlocks = c.memoryBlocks;
        instrument = std::make_unique<Instrument>(clock, options);
        simulated = std::make_unique<SimulatedLine>(*instrument, port.addLine(1), c.paced);
        link.setCommPort(1);
        window = std::make_unique<frmLogger>(link, clock, pump, prompts);
        window->Form_Load();
    }

    ~SimulatorWindowTest() override
    {
        window.reset();
        link.setCommPort(0);
    }

    QString shown(const char *name) const
    {
        return window->findChild<QLabel *>(QString::fromLatin1(name))->text();
    }

    VirtualClock clock{QDateTime(QDate(2026, 6, 1), QTime(11, 20, 7))};
    FakeSerialPort port{clock};
    FakeEventPump pump;
    SensorLink link{port, clock, pump};
    RecordingPrompts prompts;
    std::unique_ptr<Instrument> instrument;
    std::unique_ptr<SimulatedLine> simulated;
    std::unique_ptr<frmLogger> window;
};

class SimulatorTest : public SimulatorWindowTest, public ::testing::WithParamInterface<SimCase>
{
};

TEST_P(SimulatorTest, TheWindowShowsTheLoggersDataset)
{
    const SimCase c = GetParam();
    open(c);
    const LoggerState &state = window->state();
    const QList<SimLoggedRecord> records = instrument->logger().datasetRecords();
    ASSERT_FALSE(records.isEmpty());
    const SimDatasetPointers pointers = instrument->logger().recorder().pointers();

    EXPECT_EQ(state.MemoryBlocks, c.memoryBlocks);
    EXPECT_EQ(state.StartBlock, pointers.startBlock);
    EXPECT_EQ(state.LogTop, pointers.logTop);
    EXPECT_EQ(state.TopFill, pointers.topFill());
    EXPECT_EQ(state.logging(), c.prefill.logging);
    EXPECT_EQ(state.overwrite(), c.prefill.overwrite);
    EXPECT_EQ(shown("lblFirstRecord"), FormatLoggerTime(records.first().time, true));
    EXPECT_EQ(shown("lblLastRecord"), FormatLoggerTime(records.last().time, true));
    if (c.prefill.downloadedRecords > 0) {
        const SimLoggedRecord &retrieved = records.at(c.prefill.downloadedRecords - 1);
        EXPECT_EQ(shown("lblRetrieved"), FormatLoggerTime(retrieved.time, true));
    } else {
        EXPECT_TRUE(shown("lblRetrieved").isEmpty());
    }
    // The counts take every block before the top one as full.
    const qint64 blocks = (pointers.logTop - pointers.startBlock + c.memoryBlocks) % c.memoryBlocks;
    EXPECT_EQ(state.RecordsLogged, blocks * 125 + pointers.topCount);
    EXPECT_TRUE(shown("lblLoggerTime").startsWith(QStringLiteral("01-Jun-26 11:20:")));
    if (c.prefill.logging) {
        const auto next = instrument->logger().recorder().nextRecordTime();
        ASSERT_TRUE(next);
        EXPECT_EQ(window->findChild<QPushButton *>("cmdStartLogging")->text(),
                  QStringLiteral("Stop logging"));
        EXPECT_FALSE(shown("lblNextRdg").isEmpty());
        EXPECT_NE(shown("lblNextRdg"), QStringLiteral("Not Logging"));
    } else {
        EXPECT_EQ(shown("lblNextRdg"), QStringLiteral("Not Logging"));
    }
    EXPECT_EQ(window->findChild<QComboBox *>("cboRdg")->currentText(), QStringLiteral("10s"));
    EXPECT_EQ(window->findChild<QComboBox *>("cboAvg")->currentText(), QStringLiteral("1m"));
}

INSTANTIATE_TEST_SUITE_P(
    Datasets, SimulatorTest,
    ::testing::Values(
        SimCase{"LoggingPartlyDownloaded", {1000, false, false, true, 300}, false, 1024},
        SimCase{"StoppedNothingDownloaded", {400, false, false, false, 0}, false, 1024},
        SimCase{"WrappedWithOverwriteAtLinePace", {2000, true, true, true, 1500}, true, 64},
        SimCase{"OddMemorySize", {700, false, false, true, 125}, false, 1023}),
    [](const ::testing::TestParamInfo<SimCase> &param) { return std::string(param.param.name); });

TEST_F(SimulatorWindowTest, AnEmptyLoggerShowsNoValidData)
{
    open({"Empty", {}, false, SimMemory::DefaultBlocks});
    EXPECT_EQ(shown("lblFirstRecord"), QStringLiteral("No valid data"));
    EXPECT_EQ(shown("lblNextRdg"), QStringLiteral("Not Logging"));
    EXPECT_TRUE(shown("lblSerial").endsWith("512kB"));
}

} // namespace
