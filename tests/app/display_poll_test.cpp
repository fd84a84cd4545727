// The main window's poll without a window: what it shows through a recording view and
// what it writes to the instrument, step by step on the virtual clock.
#include "DisplayFixture.h"
#include "LocaleGuard.h"
#include "display/DisplayPoll.h"

namespace {

// What the window shows, one text per place ("readings" -> "123.4 56.7 sun").
using Screen = std::map<std::string, std::string>;

class RecordingView : public DisplayView
{
public:
    bool loggerFlag() const override { return logger; }
    void showFields(const InstrumentFields &f) override
    {
        set("fields", f.version + "/" + f.power + "/" + f.logStatus);
    }
    void setLoggerMenuVisible(bool visible) override
    {
        set("logger", visible ? "shown" : "hidden");
    }
    void showReadingCaption(const QString &caption) override { set("caption", caption); }
    void showReadings(const QString &total, const QString &diffuse, bool sun) override
    {
        set("readings", total + " " + diffuse + (sun ? " sun" : " clouds"));
    }
    void clearReadings() override { set("readings", ""); }
    void showUnitsChoice(int selected, bool bold) override
    {
        set("units", QString::number(selected) + (bold ? " bold" : ""));
    }
    void showActivity(bool sensorFound, bool exchanging) override
    {
        set("sensor", QString(sensorFound ? "found" : "none") + (exchanging ? " busy" : ""));
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
Screen changed(Screen screen, const char *changes)
{
    for (const QString &change : QString(changes).split(';', Qt::SkipEmptyParts))
        screen[change.section('=', 0, 0).toStdString()] = change.section('=', 1).toStdString();
    return screen;
}

class PollTest : public DisplayFixture
{
protected:
    PollTest() { rebuild(""); }
    ~PollTest() override { poll.reset(), link.reset(); }

    // A fresh link and poll on the far ends of `ports`.
    void rebuild(const char *ports)
    {
        poll.reset(), link.reset();
        setFarEnds(ports);
        view.screen.clear();
        link = std::make_unique<SensorLink>(port, clock, pump);
        poll = std::make_unique<DisplayPoll>(*link, prompts);
        poll->setView(view);
    }

    // "search N" (the start-up on ports 1..N), "tick [N]", "port CAPTION", "units N",
    // "answer COMMAND REPLY" and "silence COMMAND" (at the scripted far end), "unplug".
    void act(const QByteArray &action)
    {
        const QByteArray verb = action.split(' ').first();
        const QByteArray rest = action.mid(verb.size() + 1);
        const QByteArray first = rest.split(' ').first();
        if (verb == "search") {
            view.set("menu", poll->searchPorts(rest.toInt()).join(' '));
            poll->openFoundPort();
        }
        for (int n = 0; verb == "tick" && n < std::max(1, rest.toInt()); ++n) {
            clock.advanceSeconds(2.0);
            poll->tick();
        }
        if (verb == "port")
            poll->choosePort(QString::fromLatin1(rest));
        if (verb == "units")
            poll->chooseUnits(rest.toInt());
        if (verb == "answer")
            scripted->on(first, rest.mid(first.size() + 1));
        if (verb == "silence")
            scripted->silence(rest);
        if (verb == "unplug")
            port.unplug();
    }

    struct Step
    {
        const char *action;
        const char *written;
        const char *changes; // on the screen; every other place stays as it was
    };
    void run(std::initializer_list<Step> steps)
    {
        Screen expected = view.screen;
        for (const Step &step : steps) {
            SCOPED_TRACE(step.action);
            act(step.action);
            EXPECT_EQ(written(), step.written);
            expected = changed(expected, step.changes);
            EXPECT_EQ(view.screen, expected);
        }
    }

    RecordingView view;
    std::unique_ptr<SensorLink> link;
    std::unique_ptr<DisplayPoll> poll;
};

TEST_F(PollTest, FullStatusOnTheFirstAndEveryTenthTickThenALostPort)
{
    rebuild("sS");
    view.logger = true;
    run({
        {"search 16", "1:R 2:RRI",
         "menu=COM 1 COM 2;units=-1;status=Finding serial ports;port=2;fields=//"},
        {"tick", "2:RI",
         "painted=none busy;fields=ZQ5 v3.2/Battery 3612mV/Logging;logger=shown;"
         "caption=Reading Units: W.m-2;units=1 bold;sensor=found;"
         "status=ZQ5  5523 connected on COM 2"},
        {"tick", "2:RS", "painted=found busy;readings=123.4 56.7 sun"},
        {"tick 8", "2:RSRSRSRSRSRSRSRS", ""},
        {"tick", "2:RI", ""},
        {"tick 9", "2:RSRSRSRSRSRSRSRSRS", ""},
        {"tick", "2:RI", ""},
        // A reply that never ends leaves the readings as they were.
        {"answer S S99,1,0", "", ""},
        {"tick", "2:RS", "status=GetReadings command failed"},
        {"answer S S1,2,0\r", "", ""},
        {"tick", "2:RS", "readings=1.0 2.0 clouds;status=ZQ5  5523 connected on COM 2"},
        // The tick that meets the lost port says so; the next one shows no port.
        {"unplug", "", ""},
        {"tick", "", "status=Lost COM 2: The device has been disconnected"},
        {"tick", "",
         "fields=//;logger=hidden;caption=Reading ;readings=;units=-1;sensor=none;port=0"},
        {"tick 3", "", ""},
    });
}

TEST_F(PollTest, SilentInstrumentIsCalledOnceATickUntilItAnswers)
{
    rebuild("ssh-S");
    scripted->silence("R");
    run({
        // A port held by another program is listed; one that fails to open is not.
        {"search 16", "1:R 2:R 5:R",
         "menu=COM 1 COM 2 COM 3 COM 5;units=-1;status=VTA1 not found - no serial port selected"},
        {"port COM 5", "5:R", "port=5;fields=//"},
        {"tick", "5:R",
         "painted=none busy;sensor=none;logger=hidden;caption=Reading ;readings=;"
         "status=VTA1 not found on COM 5"},
        {"tick 2", "5:RR", ""},
        {"answer R \r\n\xAF", "", ""},
        // Connected: the link's readings (none yet) until the next tick reads the status.
        {"tick", "5:R", "sensor=found;readings=0.0 0.0 clouds"},
        {"tick", "5:RI",
         "painted=found busy;fields=ZQ5 v3.2/Battery 3612mV/Logging;"
         "caption=Reading Units: W.m-2;units=1 bold;status=ZQ5  5523 connected on COM 5"},
        {"tick", "5:RS", "readings=123.4 56.7 sun"},
    });
}

TEST_F(PollTest, ChosenPortIsOpenedAndAskedForItsStatus)
{
    rebuild("--5---s----4");
    run({
        {"search 16", "3:RRI 7:R 12:R",
         "menu=COM 3 COM 7 COM 12;units=-1;status=Finding serial ports;port=3;fields=//"},
        {"tick", "3:RI",
         "painted=none busy;fields=ZQ5 v3.2/3612mV/Stopped;logger=hidden;sensor=found;"
         "caption=Reading Units: umol.m-2.s-1;units=0 bold;status=ZQ5  5523 connected on COM 3"},
        {"port COM 12", "12:RI", "port=12;fields=//;units=-1"},
        {"port None", "", "port=0"},
        {"port COM 7", "7:R", "port=7"},
        {"port COM 3", "3:RI", "port=3"},
        {"port COM 3", "3:RI", ""},
        {"port COM 99999", "", "port=0"},
        // Units chosen without a port: the link's (none) and its status.
        {"units 2", "", "caption=Reading ;status=No serial port selected"},
    });
    ASSERT_EQ(prompts.texts(), QStringList{"SetCommPort Error: Overflow"});
    EXPECT_EQ(prompts.calls()[0].title, "Quorvel");
}

TEST_F(PollTest, StatusAndReadingsShowByTheUnits)
{
    const struct
    {
        const char *status; // version, units and log status
        bool loggerFlag;
        const char *readings;
        const char *shown;
        bool german = false;
    } cases[] = {
        {"ZQ5 v3.2\rUnits: W.m-2\rLogging", true, "S1234.56,987.64,1\r",
         "caption=Reading Units: W.m-2;units=1 bold;logger=shown;readings=1234.6 987.6 sun"},
        {"ZQ5 v3.2\rUnits: umol.m-2.s-1\rStopped", true, "S12345.6,2100,0\r",
         "caption=Reading Units: umol.m-2.s-1;units=0 bold;logger=shown;"
         "readings=12345.6 2100.0 clouds"},
        {"ZQ5 v3.2\rUnits: klux\rOn", true, "S103.456,7,1\r",
         "caption=Reading Units: klux;units=2 bold;logger=shown;readings=103.46 7.00 sun"},
        {"ZQ5 v3.2\rUnits: lumens\rX", true, "S1,2,0\r",
         "caption=Reading Units: lumens;units=-1;logger=hidden;readings=1.0 2.0 clouds;"
         "status=ZQ5  5523 connected on COM 1"},
        // A ZQ2 measures molar units whatever it reports.
        {"ZQ2 v1.4\rUnits: ?\r", true, "S1,2,0\r",
         "caption=Reading Units: umol.m-2.s-1;units=0;logger=hidden;readings=1.0 2.0 clouds"},
        {"ZQ5 v3.2\rUnits: W.m-2\rLogging", false, "S1234.56,0.5,0\r",
         "logger=hidden;readings=1234,6 0,5 clouds", true},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.status);
        const LocaleGuard locale(c.german ? QLocale(QLocale::German, QLocale::Germany)
                                          : QLocale(QLocale::English, QLocale::UnitedKingdom));
        rebuild("S");
        QByteArrayList status = QByteArray(c.status).split('\r');
        scripted->on("I", "I" + status[0] + "\r" + status[1] + "\rBattery 3612mV\r5523\r" +
                              status[2] + "\r");
        scripted->on("S", c.readings);
        view.logger = c.loggerFlag;
        act("port COM 1");
        act("tick 2");
        const Screen expected = changed(view.screen, c.shown);
        EXPECT_EQ(view.screen, expected);
    }
}

TEST_F(PollTest, UnitsChoiceReachesTheInstrumentOrPutsBackTheReportedUnits)
{
    rebuild("S");
    act("port COM 1");
    act("tick 2");
    written();
    run({
        {"answer U2 U2OK\rTEST:", "", ""},
        {"units 2", "1:RTU2RI", "units=2 bold"},
        {"tick", "1:RS", "readings=123.40 56.70 sun"},
        {"answer U0 U0OK\rTEST:", "", ""},
        {"units 0", "1:RTU0RI", "units=0 bold"},
        {"tick", "1:RS", "readings=123.4 56.7 sun"},
        // Refused or unanswered: the units the instrument reports.
        {"answer U2 U2NO\rTEST:", "", ""},
        {"units 2", "1:RTU2R", "units=1 bold;status=SetUnits command failed"},
        {"silence U2", "", ""},
        {"units 2", "1:RTU2R", ""},
        {"units 3", "", ""},
        {"units -1", "", ""},
        {"answer U2 U2OK\rTEST:", "", ""},
        {"silence I", "", ""},
        {"units 2", "1:RTU2RI", "units=-1;caption=Reading ;status=GetStatus command failed"},
    });
}

TEST_F(PollTest, ModelsWithFixedUnitsRefuseEveryChange)
{
    const struct
    {
        const char *ports;
        const char *refusal;
        const char *units;
    } models[] = {{"2", "You cannot change units on a ZQ2!", "0"},
                  {"4", "You cannot change units on a ZQ4!", "1"},
                  {"V", "You cannot change units on a VTA1!", "1"}};
    for (const auto &model : models) {
        for (const char *choice : {"units 0", "units 1", "units 2"}) {
            SCOPED_TRACE(std::string(model.refusal) + " " + choice);
            rebuild(model.ports);
            act("port COM 1");
            act("tick");
            written();
            EXPECT_EQ(view.screen["units"], std::string(model.units) + " bold");
            const Screen before = view.screen;
            act(choice);
            EXPECT_EQ(written(), "");
            EXPECT_EQ(
                view.screen,
                changed(
                    before,
                    (std::string("units=") + model.units + ";status=" + model.refusal).c_str()));
            // The refusal stays until the next tick shows the link's status.
            act("tick");
            EXPECT_EQ(view.screen["status"], link->Status().toStdString());
        }
    }
}

} // namespace
