// SPDX-License-Identifier: GPL-3.0-or-later
// The main window's poll without a window: what it shows through a recording view and
// what it writes to the instrument, step by step on the virtual clock.
#include "DisplayFixture.h"
#include "LocaleGuard.h"
#include "display/DisplayPoll.h"

#include <QCoreApplication>

#include <map>

namespace {

// What the window shows, one text per place ("readings": "123.4 56.7 sun").
using Screen = std::map<std::string, std::string>;

class RecordingView : public DisplayView
{
public:
    bool loggerFlag() const override { return logger; }
    void showFields(const InstrumentFields &f) override
    {
        set("fields", f.version + '/' + f.power + '/' + f.logStatus);
    }
    void setLoggerMenuVisible(bool shown) override { set("logger", shown ? "shown" : "hidden"); }
    void showReadingCaption(const QString &caption) override { set("caption", caption); }
    void showReadings(const QString &total, const QString &diffuse, bool sun) override
    {
        set("readings", total + ' ' + diffuse + (sun ? " sun" : " clouds"));
    }
    void clearReadings() override { set("readings", ""); }
    void showUnitsChoice(int chosen, bool bold) override
    {
        set("units", QString::number(chosen) + (bold ? " bold" : ""));
    }
    void showActivity(bool found, bool busy) override
    {
        set("sensor", QString(found ? "found" : "none") + (busy ? " busy" : ""));
    }
    // The pictures as painted before an exchange.
    void paintNow() override { screen["painted"] = screen["sensor"]; }
    void setStatusText(const QString &text) override { set("status", text); }
    void checkPort(int number) override { set("port", QString::number(number)); }
    void set(const char *place, const QString &text) { screen[place] = text.toStdString(); }

    bool logger = false;
    Screen screen;
};

// `screen` with the changes "place=text;place=text" made.
Screen changed(Screen screen, const std::string &changes)
{
    for (const QString &change : QString::fromStdString(changes).split(';', Qt::SkipEmptyParts))
        screen[change.section('=', 0, 0).toStdString()] = change.section('=', 1).toStdString();
    return screen;
}

class PollTest : public DisplayFixture
{
protected:
    // The link and the poll on the far ends of `ports`.
    void startOn(const char *ports)
    {
        setFarEnds(ports);
        link = std::make_unique<SensorLink>(port, clock);
        poll = std::make_unique<DisplayPoll>(*link, prompts);
        poll->setView(view);
    }

    // "search N" (the start-up on ports 1..N), "tick [N]", "port CAPTION", "units N",
    // "answer COMMAND REPLY" and "silence COMMAND" (at the scripted far end), "unplug",
    // "replug N", "events" (the event loop runs between ticks); several joined by "|".
    void act(const QByteArray &actions)
    {
        for (const QByteArray &action : actions.split('|')) {
            const QByteArray verb = action.split(' ').first();
            const QByteArray rest = action.mid(verb.size() + 1);
            if (verb == "search") {
                poll->searchPorts(rest.toInt(), [this](const QStringList &ports) {
                    view.set("menu", ports.join(' '));
                });
                runLink(*link);
            }
            for (int n = 0; verb == "tick" && n < std::max(1, rest.toInt()); ++n)
                clock.advanceSeconds(2.0), poll->tick(), runLink(*link);
            // A tick whose exchanges are left waiting, for a click that comes meanwhile.
            if (verb == "tick-start")
                clock.advanceSeconds(2.0), poll->tick();
            if (verb == "port")
                poll->choosePort(QString::fromLatin1(rest)), runLink(*link);
            if (verb == "units")
                poll->chooseUnits(rest.toInt()), runLink(*link);
            if (verb == "answer")
                scripted->on(rest.split(' ').first(), rest.mid(rest.indexOf(' ') + 1));
            if (verb == "silence")
                scripted->silence(rest);
            if (verb == "unplug")
                port.unplug();
            if (verb == "replug")
                port.replug(rest.toInt());
            if (verb == "events")
                QCoreApplication::processEvents();
        }
    }

    // Each step: an action, what it writes, and what it changes on the screen (every
    // other place must stay as it was).
    using Step = std::tuple<std::string, const char *, std::string>;
    void run(std::initializer_list<Step> steps)
    {
        for (const auto &[action, bytes, changes] : steps) {
            SCOPED_TRACE(action);
            const Screen expected = changed(view.screen, changes);
            act(QByteArray::fromStdString(action));
            EXPECT_EQ(written(), bytes);
            EXPECT_EQ(view.screen, expected);
        }
    }

    RecordingView view;
    // The link goes after the poll that uses it, both before the fake port.
    std::unique_ptr<SensorLink> link;
    std::unique_ptr<DisplayPoll> poll;
};

TEST_F(PollTest, FullStatusOnTheFirstAndEveryTenthTickThenOtherPortsAndALostOne)
{
    startOn("sS-h5-s");
    view.logger = true;
    run({
        // A port held by another program is listed; one that fails to open is not.
        {"search 16", "1:R 2:RRI 5:R 7:R",
         "menu=COM 1 COM 2 COM 4 COM 5 COM 7;units=-1;status=Finding serial ports;port=2;"
         "fields=//"},
        {"tick", "2:RI",
         "painted=none busy;fields=ZQ5 v3.2/Battery 3612mV/Logging;logger=shown;sensor=found;"
         "caption=Reading Units: W.m-2;units=1 bold;status=ZQ5  5523 connected on COM 2"},
        {"tick", "2:RS", "painted=found busy;readings=123.4 56.7 sun"},
        // The tenth tick after a full status reads it again.
        {"tick 9", "2:RSRSRSRSRSRSRSRSRI", ""},
        {"tick 10", "2:RSRSRSRSRSRSRSRSRSRI", ""},
        // A reply that never ends leaves the readings as they were.
        {"answer S S99,1,0|tick", "2:RS", "status=GetReadings command failed"},
        {"answer S S1,2,0\r|tick", "2:RS",
         "readings=1.0 2.0 clouds;status=ZQ5  5523 connected on COM 2"},
        // Another port: what the last instrument showed is gone until the next tick.
        {"port COM 5", "5:RI", "port=5;fields=//;units=-1"},
        {"tick", "5:RI",
         "fields=ZQ5 v3.2/3612mV/Stopped;caption=Reading Units: umol.m-2.s-1;units=0 bold;"
         "status=ZQ5  5523 connected on COM 5"},
        {"port None", "", "port=0"},
        // Units chosen without a port: the link's (none) and its status.
        {"units 2", "", "units=-1;caption=Reading ;status=No serial port selected"},
        {"port COM 7", "7:R", "port=7;fields=//;units=-1"},
        {"port COM 99999", "", "port=0"},
        {"port COM 2|port COM 2", "2:RIRI", "port=2"},
        // The tick that meets the lost port says so; the next one shows no port.
        {"unplug|tick", "", "status=Lost COM 2: The device has been disconnected"},
        {"tick 4", "",
         "fields=//;logger=hidden;caption=Reading ;readings=;units=-1;sensor=none;port=0"},
        // The device back on the same port: reopened and called on the next tick.
        {"replug 2|tick", "2:R", "painted=none busy;port=2;sensor=found;status=Opening COM 2"},
        {"tick", "2:RI",
         "painted=found busy;fields=ZQ5 v3.2/Battery 3612mV/Logging;logger=shown;"
         "caption=Reading Units: W.m-2;units=1 bold;status=ZQ5  5523 connected on COM 2"},
        // Lost between two ticks: shown as soon as the event loop hears of it.
        {"unplug|events", "",
         "status=Lost COM 2: The device has been disconnected;fields=//;logger=hidden;"
         "caption=Reading ;readings=;units=-1;sensor=none;port=0"},
    });
    ASSERT_EQ(prompts.texts(), QStringList{"SetCommPort Error: Overflow"});
    EXPECT_EQ(prompts.calls()[0].title, "Quorvel");
}

TEST_F(PollTest, SilentInstrumentIsCalledOnceATickUntilItAnswers)
{
    startOn("s---S");
    scripted->silence("R");
    run({
        {"search 16", "1:R 5:R",
         "menu=COM 1 COM 5;units=-1;status=VTA1 not found - no serial port selected"},
        {"port COM 5", "5:R", "port=5;fields=//"},
        {"tick 3", "5:RRR",
         "painted=none busy;sensor=none;logger=hidden;caption=Reading ;readings=;"
         "status=VTA1 not found on COM 5"},
        // Connected: no readings (blanks, not zeros) until the next tick reads the status.
        {"answer R \r\n\xAF|tick", "5:R", "sensor=found"},
        {"tick", "5:RI",
         "painted=found busy;fields=ZQ5 v3.2/Battery 3612mV/Logging;"
         "caption=Reading Units: W.m-2;units=1 bold;status=ZQ5  5523 connected on COM 5"},
    });
}

// A port the user may not open is listed, and when nothing else answers the search says
// why, until a port is chosen.
TEST_F(PollTest, PortWithoutPermissionIsListedAndItsRemedyStays)
{
    startOn("sp");
    run({
        {"search 16", "1:R",
         "menu=COM 1 COM 2;units=-1;status=VTA1 not found - " + Denied.toStdString()},
        {"tick", "", "fields=//;logger=hidden;caption=Reading ;readings=;sensor=none;port=0"},
        {"port COM 1|tick", "1:RR", "painted=none busy;port=1;status=VTA1 not found on COM 1"},
    });
    EXPECT_EQ(link->deniedPorts().keys(), QList<int>{2});
}

// The units chosen reach the instrument, or the units it reports come back; what the
// status shows by the model, its units and its log status; the models with fixed units
// refuse every change.
TEST_F(PollTest, UnitsChoiceAndUnitsShownByTheModel)
{
    // Readings in the locale's numbers.
    const LocaleGuard german(QLocale(QLocale::German, QLocale::Germany));
    startOn("S");
    view.logger = true;
    act("port COM 1|tick 2");
    written();
    run({
        {"answer U2 U2OK\rTEST:|units 2", "1:RTU2RI", "units=2 bold"},
        {"tick", "1:RS", "readings=123,40 56,70 sun"},
        {"answer U0 U0OK\rTEST:|units 0", "1:RTU0RI", "units=0 bold"},
        {"tick", "1:RS", "readings=123,4 56,7 sun"},
        // Refused or unanswered: the units the instrument reports, read back.
        {"answer U2 U2NO\rTEST:|units 2", "1:RTU2RRI",
         "units=1 bold;status=SetUnits command failed"},
        {"silence U2|units 2", "1:RTU2RRI", ""},
        // A click during a poll is carried out right after it, not dropped.
        {"answer U2 U2OK\rTEST:|tick-start|units 2", "1:RSRTU2RI",
         "units=2 bold;status=ZQ5  5523 connected on COM 1"},
        {"answer U1 U1OK\rTEST:|units 1", "1:RTU1RI", "units=1 bold"},
        {"units 3|units -1", "", ""},
        {"answer U2 U2OK\rTEST:|silence I|units 2", "1:RTU2RI",
         "units=-1;caption=Reading ;status=GetStatus command failed"},
        // A ZQ2 measures molar units whatever it reports.
        {"answer I IZQ2 v1.4\rUnits: ?\rBattery 3612mV\r5523\rX\r|port COM 1|tick", "1:RIRI",
         "fields=ZQ2 v1.4/Battery 3612mV/X;caption=Reading Units: umol.m-2.s-1;units=0;"
         "logger=hidden;status=ZQ2  5523 connected on COM 1"},
        // The refusal stays until the next tick shows the link's status.
        {"units 1", "", "status=You cannot change units on a ZQ2!"},
        {"units 0|units 2", "", ""},
        {"tick", "1:RS", "status=ZQ2  5523 connected on COM 1"},
        {"answer I IZQ4 v2.3\rUnits: W.m-2\rBattery 3612mV\r5523\rOn\r|port COM 1|tick", "1:RIRI",
         "fields=ZQ4 v2.3/Battery 3612mV/On;caption=Reading Units: W.m-2;units=1 bold;"
         "logger=shown;status=ZQ4  5523 connected on COM 1"},
        {"units 0", "", "units=1;status=You cannot change units on a ZQ4!"},
        {"units 1|units 2", "", ""},
        // "Unrecognised units" gives way to the link's status within the tick.
        {"answer I IVTA1 v1.0\rUnits: ?\rBattery 3612mV\r5523\rOn\r|port COM 1|tick", "1:RIRI",
         "fields=VTA1 v1.0/Battery 3612mV/On;caption=Reading Units: ?;units=-1;"
         "status=VTA1  5523 connected on COM 1"},
        {"units 2", "", "units=1;status=You cannot change units on a VTA1!"},
        {"units 0|units 1", "", ""},
    });
}

} // namespace
