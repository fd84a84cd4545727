// Ten simulated minutes of logging with individual sensors against the simulated ZQ5,
// through the window, checked line by line in the log file against what the instrument
// answered.
#include "FakeFileDialogs.h"
#include "PCLogFixture.h"
#include "QtPrinters.h"
#include "RecordingPrompts.h"

#include "Instrument.h"
#include "SimulatedLine.h"
#include "common/NumberFormat.h"
#include "common/NumericText.h"
#include "pclog/ui/frmPCLog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QPushButton>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

// What the instrument was asked in test mode, and the sky it saw then.
struct Answer
{
    QByteArray reply;
    SkyReading sky;
};

class SimulatedRunTest : public ::testing::Test
{
protected:
    SimulatedRunTest()
    {
        // Listen in on the cable: note every test-mode "S" and "I" with the reply the
        // instrument gives at that moment.
        const auto forward = cable.onWrite;
        cable.onWrite = [this, forward](const QByteArray &bytes) {
            if (instrument.state().mode() == SimMode::Test) {
                const SkyReading sky = instrument.readingNow();
                if (bytes == "S")
                    counts.append({instrument.replies().sensorCounts(sky), sky});
                else if (bytes == "I")
                    temperatures.append({instrument.replies().temperatures(sky), sky});
            }
            forward(bytes);
        };
        link.setCommPort(1);
        link.GetStatus();
    }

    void runTimer(double seconds) { RunWindowTimer(window, clock, seconds); }

    VirtualClock clock{QDateTime(QDate(2026, 6, 1), QTime(9, 59, 0))};
    FakeSerialPort port{clock};
    FakeLine &cable = port.addLine(1);
    Instrument instrument{clock, SimModel::ZQ5};
    SimulatedLine simulated{instrument, cable};
    FakeEventPump pump;
    SensorLink link{port, clock, pump};
    RecordingPrompts prompts;
    FakeFileDialogs dialogs;
    frmPCLog window{link, clock, pump, prompts, dialogs, frmPCLog::Host{}};
    QList<Answer> counts;
    QList<Answer> temperatures;
    QTemporaryDir dir;
};

TEST_F(SimulatedRunTest, TenMinutesWithIndividualSensorsToFile)
{
    const QString path = dir.filePath(QStringLiteral("roof.txt"));
    dialogs.answers.push_back(path);
    window.chkIndividual->setChecked(true);
    window.chkFile->setChecked(true);
    window.cboAvg->setCurrentText(QStringLiteral("1m"));
    clock.setNow(QDateTime(QDate(2026, 6, 1), QTime(10, 0, 0, 600)));
    window.cmdLog->click();
    ASSERT_EQ(window.cmdLog->text(), QStringLiteral("Stop Logging"));
    runTimer(600);
    window.cmdLog->click();
    EXPECT_TRUE(prompts.calls().isEmpty());

    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    ASSERT_TRUE(bytes.endsWith("\r\n"));
    EXPECT_EQ(bytes.count('\n'), bytes.count("\r\n")) << "every line ends with CR LF";
    const QStringList lines = QString::fromLatin1(bytes).split(QStringLiteral("\r\n"));
    ASSERT_EQ(lines.size(), 5 + 10 + 1);

    const auto &factors = instrument.state().identity().calibration;
    QString factorLine = QStringLiteral("Calibration values:");
    for (int factor : factors)
        factorLine += QLatin1Char('\t') + QString::number(factor);
    EXPECT_EQ(lines[0], QStringLiteral("ZQ5 Logger Data file 01/06/2026 10:00:00"));
    EXPECT_EQ(lines[1], QStringLiteral("ZQ5 v3.2 Ser No: 5523"));
    EXPECT_EQ(lines[2], QStringLiteral("Reading Units: umol.m-2.s-1"));
    EXPECT_EQ(lines[3], factorLine);
    EXPECT_EQ(lines[4],
              QStringLiteral("Time\tTotal\tDiffuse\tSun\tP0\tP1\tP2\tP3\tP4\tP5\tP6\tP7\tTemp"));

    // Six readings a minute, 10:00:10 to 10:10:00, each with its temperatures.
    ASSERT_EQ(counts.size(), 60);
    ASSERT_EQ(temperatures.size(), 60);
    for (int period = 0; period < 10; ++period) {
        SCOPED_TRACE("period " + std::to_string(period + 1));
        float total = 0;
        float diffuse = 0;
        int sun = 0;
        float therm = 0;
        double molar = 0;
        for (int k = 6 * period; k < 6 * period + 6; ++k) {
            // S<total>,<diffuse>,<sun>(<counts>)
            const QList<QByteArray> fields = counts[k].reply.mid(1).split(',');
            total += static_cast<float>(fields[0].toDouble());
            diffuse += static_cast<float>(fields[1].toDouble());
            sun += fields[2].left(1).toInt();
            const QByteArray reply = temperatures[k].reply;
            const qsizetype at = reply.indexOf("Therm temp") + 10;
            therm += static_cast<float>(reply.mid(at, 7).trimmed().toDouble());
            molar += counts[k].sky.totalMolar;
        }
        const QStringList fields = lines[5 + period].split(QLatin1Char('\t'));
        ASSERT_EQ(fields.size(), 13) << lines[5 + period].toStdString();
        EXPECT_EQ(fields[0],
                  QStringLiteral("01/06/2026 10:%1:00").arg(period + 1, 2, 10, QLatin1Char('0')));
        EXPECT_EQ(fields[1], FormatNumber(total / 6.0f, QStringLiteral("0.0")));
        EXPECT_EQ(fields[2], FormatNumber(diffuse / 6.0f, QStringLiteral("0.0")));
        EXPECT_EQ(fields[3], FormatNumber(static_cast<float>(sun) / 6.0f, QStringLiteral("0.0")));
        EXPECT_EQ(fields[12], FormatNumber(therm / 6.0f, QStringLiteral("0.0")));
        // Channel 0 reads the sky's total; the others lie within a few percent of it.
        const double p0 = fields[4].toDouble();
        EXPECT_NEAR(p0, molar / 6.0, 0.5);
        for (int channel = 1; channel < 8; ++channel) {
            EXPECT_NEAR(fields[4 + channel].toDouble() / p0, 1.0, 0.03) << "P" << channel;
            EXPECT_NE(fields[4 + channel], fields[4]) << "P" << channel;
        }
    }
    EXPECT_GT(counts.first().sky.totalMolar, 100) << "the simulated sky is lit at ten";
}

} // namespace
