// The port search and the link against the simulated instrument: which ports are
// listed and probed, what each port hears, and the link's view of every model.
#include "Instrument.h"
#include "QtPrinters.h"
#include "SimulatedLine.h"
#include "link/SensorLink.h"
#include "platform/FakeEventPump.h"
#include "platform/FakeSerialPort.h"
#include "platform/VirtualClock.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace {

class PortSearchTest : public ::testing::Test
{
protected:
    // Puts a simulated instrument on port `number`.
    Instrument &instrumentOn(int number, SimModel model = SimModel::ZQ5)
    {
        instruments.push_back(std::make_unique<Instrument>(clock, model));
        lines.push_back(std::make_unique<SimulatedLine>(*instruments.back(), port.addLine(number)));
        return *instruments.back();
    }

    VirtualClock clock;
    FakeSerialPort port{clock};
    FakeEventPump pump;
    std::vector<std::unique_ptr<Instrument>> instruments;
    std::vector<std::unique_ptr<SimulatedLine>> lines;
    SensorLink link{port, clock, pump};
};

TEST_F(PortSearchTest, ListsOpenablePortsAndProbesOnlyTheFirstAnswering)
{
    port.addLine(2);                                              // a port with nothing on it
    instrumentOn(4);                                              // the first instrument
    instrumentOn(6, SimModel::ZQ3v1);                             // a second one
    port.addLine(7).openError = SerialPort::ErrorPortAlreadyOpen; // held by another program
    port.addLine(9).openError = SerialPort::ErrorOpenFailed;      // cannot be opened
    port.addLine(12);

    QStringList messages;
    QObject::connect(&link, &SensorLink::StatusMsg, [&](const QString &s) { messages << s; });

    const QStringList ports = link.GetCommPorts(true, 12);
    EXPECT_EQ(ports, QStringList({"COM 2", "COM 4", "COM 6", "COM 7", "COM 12"}));
    EXPECT_EQ(link.CommDefault(), 2);
    EXPECT_EQ(link.CommPort(), 0) << "the search leaves every port closed";
    EXPECT_EQ(messages.size(), 12);
    EXPECT_EQ(messages.first(), QStringLiteral("Checking serial ports COM1"));
    EXPECT_EQ(messages.last(), QStringLiteral("Checking serial ports COM12"));

    // Port 4 had the handshake; every other port that opened heard one "R" only.
    EXPECT_EQ(port.line(4)->written(), QByteArray("R"));
    EXPECT_EQ(port.line(2)->written(), QByteArray("R"));
    EXPECT_EQ(port.line(6)->written(), QByteArray("R"));
    EXPECT_EQ(port.line(12)->written(), QByteArray("R"));
    EXPECT_EQ(port.line(7)->openCount, 0);
    EXPECT_TRUE(port.line(7)->written().isEmpty());
    EXPECT_FALSE(port.line(4)->dtr) << "DTR released after the probe";

    // The list is built once: a second call touches no port, whatever its arguments.
    const int attempts = port.openAttempts;
    EXPECT_EQ(link.GetCommPorts(false, 16), ports);
    EXPECT_EQ(link.GetCommPorts(true, 3), ports);
    EXPECT_EQ(port.openAttempts, attempts);
}

TEST_F(PortSearchTest, NoInstrumentAndNoPorts)
{
    port.addLine(1);
    EXPECT_EQ(link.GetCommPorts(true, 16), QStringList({"COM 1"}));
    EXPECT_EQ(link.CommDefault(), 0);
    EXPECT_EQ(link.GetCommPorts(true, 0), QStringList({"COM 1"}));

    SensorLink fresh(port, clock, pump);
    EXPECT_TRUE(fresh.GetCommPorts(true, 0).isEmpty());
    EXPECT_EQ(fresh.CommDefault(), 0);
}

TEST_F(PortSearchTest, EveryModelConnectsAndReportsItself)
{
    struct Case
    {
        SimModel model;
        const char *versionStart;
        bool unitsSelectable;
    };
    const QList<Case> cases = {
        {SimModel::ZQ2, "ZQ2 ", false},     {SimModel::ZQ3v1, "ZQ3 v1", true},
        {SimModel::ZQ3v2, "ZQ3 v2.", true}, {SimModel::ZQ4, "ZQ4 ", false},
        {SimModel::ZQ5, "ZQ5 ", true},      {SimModel::VTA1, "VTA1 ", false},
    };
    int number = 1;
    for (const Case &c : cases) {
        SCOPED_TRACE(c.versionStart);
        instrumentOn(number, c.model);
        link.setCommPort(number);
        ASSERT_TRUE(link.GetStatus());
        EXPECT_TRUE(link.Version().startsWith(QLatin1String(c.versionStart)));
        EXPECT_TRUE(
            link.Status().endsWith(QStringLiteral(" connected on COM ") + QString::number(number)));
        EXPECT_TRUE(link.units().startsWith(QStringLiteral("Units: ")));
        ASSERT_TRUE(link.GetReadings());
        EXPECT_GE(link.Total(), link.Diffuse());

        // Energy units: accepted by the models whose units can change.
        EXPECT_EQ(link.SetUnits(1),
                  c.unitsSelectable || c.model == SimModel::ZQ4 || c.model == SimModel::VTA1);
        ASSERT_TRUE(link.GetStatus());
        if (c.unitsSelectable) {
            EXPECT_EQ(link.units(), QStringLiteral("Units: W.m-2"));
        }
        ++number;
    }
}

TEST_F(PortSearchTest, FaultyInstrumentsFailWithTheirStatusTexts)
{
    struct Case
    {
        const char *name;
        SimFaults faults;
        bool connects;
        bool reads;
    };
    SimFaults silent;
    silent.silent = true;
    SimFaults late;
    late.late = true;
    SimFaults split;
    split.split = true;
    SimFaults garbage;
    garbage.garbage = true;
    SimFaults badPrompt;
    badPrompt.badPrompt = true;
    const QList<Case> cases = {
        {"healthy", SimFaults(), true, true},
        {"split replies", split, true, true},
        {"garbage before replies", garbage, true, true},
        {"silent", silent, false, false},
        {"late", late, false, false},
        {"wrong prompt", badPrompt, false, false},
    };
    Instrument &instrument = instrumentOn(3);
    link.setCommPort(3);
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        instrument.setFaults(c.faults);
        port.line(3)->discardAll();
        EXPECT_EQ(link.Connect(), c.connects);
        if (!c.connects) {
            EXPECT_EQ(link.Status(), QStringLiteral("VTA1 not found on COM 3"));
        }
        port.line(3)->discardAll();
        clock.advanceSeconds(2.0);
        EXPECT_EQ(link.GetReadings(), c.reads);
        instrument.setFaults(SimFaults());
        clock.advanceSeconds(2.0); // let late answers go by
    }
}

} // namespace
