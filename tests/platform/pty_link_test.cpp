// The sensor link on the real serial port, against the simulator running as its own
// program on a pseudo-terminal: every byte goes through the system's terminal layer.
#include "PseudoTerminal.h"
#include "SimulatorProcess.h"

#include "link/SensorLink.h"
#include "platform/PortTable.h"
#include "platform/QtEventPump.h"
#include "platform/QtSerialPort.h"
#include "platform/SystemClock.h"

#include <QElapsedTimer>

#include <gtest/gtest.h>

namespace {

struct SimulatorCase
{
    const char *name;
    QStringList arguments;
};

class PtyLinkTest : public ::testing::TestWithParam<SimulatorCase>
{
protected:
    void SetUp() override
    {
        if (SimulatorProcess::find().isEmpty())
            GTEST_SKIP() << "QUORVEL_SIM does not name the simulator program";
        device = sim.start(SimulatorProcess::find(), GetParam().arguments);
        ASSERT_FALSE(device.isEmpty()) << "the simulator did not print its device";
        table.addDevice(device);
    }

    SimulatorProcess sim;
    QString device;
    PortTable table{PortTable::Numbering::DeviceList};
    QtSerialPort port{table};
    SystemClock clock;
    QtEventPump pump;
};

TEST_P(PtyLinkTest, HandshakeStatusReadingsAndUnits)
{
    SensorLink link(port, clock, pump);
    link.setCommPort(1);
    ASSERT_EQ(link.CommPort(), 1) << link.Status().toStdString();

    ASSERT_TRUE(link.Connect()) << link.Status().toStdString();
    EXPECT_TRUE(link.Connected());

    ASSERT_TRUE(link.GetStatus()) << link.Status().toStdString();
    EXPECT_TRUE(link.Version().startsWith("ZQ5 ")) << link.Version().toStdString();
    EXPECT_EQ(link.units(), "Units: umol.m-2.s-1");
    EXPECT_TRUE(link.Power().endsWith("mV")) << link.Power().toStdString();
    EXPECT_FALSE(link.SerialNumber().isEmpty());
    EXPECT_TRUE(link.Status().endsWith(" connected on COM 1")) << link.Status().toStdString();

    ASSERT_TRUE(link.GetReadings()) << link.Status().toStdString();
    EXPECT_GE(link.Total(), 0.0f);
    EXPECT_GE(link.Diffuse(), 0.0f);

    ASSERT_TRUE(link.SetUnits(1)) << link.Status().toStdString();
    ASSERT_TRUE(link.GetStatus()) << link.Status().toStdString();
    EXPECT_EQ(link.units(), "Units: W.m-2");
    EXPECT_FALSE(link.Active());
}

TEST_P(PtyLinkTest, PortSearchFindsTheSimulator)
{
    SensorLink link(port, clock, pump);
    const QStringList ports = link.GetCommPorts(true, 4);
    EXPECT_EQ(ports, QStringList({"COM 1"}));
    EXPECT_EQ(link.CommDefault(), 1);
    // The search leaves the port closed; the chosen one then opens and answers.
    EXPECT_FALSE(port.isOpen());
    link.setCommPort(link.CommDefault());
    EXPECT_TRUE(link.GetReadings()) << link.Status().toStdString();
}

TEST_P(PtyLinkTest, SimulatorGoneIsReportedWithoutSpinning)
{
    SensorLink link(port, clock, pump);
    link.setCommPort(1);
    ASSERT_TRUE(link.GetReadings()) << link.Status().toStdString();
    ASSERT_TRUE(sim.stop());

    const double cpuBefore = processCpuSeconds();
    QElapsedTimer wall;
    wall.start();
    EXPECT_FALSE(link.GetReadings());
    const double cpu = processCpuSeconds() - cpuBefore;

    EXPECT_FALSE(link.Connected());
    EXPECT_FALSE(port.isOpen());
    EXPECT_EQ(port.errorNumber(), SerialPort::ErrorDeviceLost);
    // The handshake waits at most about 1.1 s; a spinning port would use all of it.
    EXPECT_LT(cpu, 0.2) << "in " << wall.elapsed() << " ms";
}

INSTANTIATE_TEST_SUITE_P(Simulator, PtyLinkTest,
                         ::testing::Values(SimulatorCase{"Zq5", {"--model", "ZQ5"}},
                                           SimulatorCase{"Zq5At9600Baud",
                                                         {"--model", "ZQ5", "--pace"}}),
                         [](const ::testing::TestParamInfo<SimulatorCase> &tested) {
                             return std::string(tested.param.name);
                         });

} // namespace
