#pragma once

// The main window on fake serial ports and a virtual clock: simulated instruments or
// scripted far ends on chosen port numbers, message boxes recorded instead of shown.
#include "Instrument.h"
#include "RecordingPrompts.h"
#include "ScriptedLine.h"
#include "SimulatedLine.h"
#include "app/DisplayControls.h"
#include "app/OptionButton.h"
#include "app/PortMenu.h"
#include "app/SvgPicture.h"
#include "app/frmDisplay.h"
#include "link/SensorLink.h"
#include "platform/FakeEventPump.h"
#include "platform/FakeSerialPort.h"
#include "platform/PortTable.h"
#include "platform/VirtualClock.h"

#include <QAction>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>

#include <gtest/gtest.h>

#include <memory>
#include <vector>

// The prompt the instrument sends after "R", and a ZQ5's identification.
inline const QByteArray PromptReply("\r\n\xAF");
inline QByteArray statusReply(const QByteArray &version = "ZQ5 v3.2",
                              const QByteArray &units = "Units: W.m-2",
                              const QByteArray &logStatus = "Logging")
{
    return "I" + version + "\r" + units + "\rBattery 3612mV\r5523\r" + logStatus + "\r";
}

class DisplayFixture : public ::testing::Test
{
protected:
    DisplayFixture() { window = std::make_unique<frmDisplay>(port, clock, pump, prompts); }

    ~DisplayFixture() override
    {
        // The window holds the link, which holds the port: it goes first.
        window.reset();
    }

    // A fresh window in place of the one before, and no far ends on the ports (add them
    // again); the window shows the devices of `table` when given.
    void rebuildWindow(const PortTable *table = nullptr)
    {
        window.reset();
        simulated.clear();
        scripted.clear();
        instruments.clear();
        window = std::make_unique<frmDisplay>(port, clock, pump, prompts, table);
    }

    // A simulated instrument on port `number`.
    Instrument &addInstrument(int number, const InstrumentOptions &options = {})
    {
        instruments.push_back(std::make_unique<Instrument>(clock, options));
        simulated.push_back(
            std::make_unique<SimulatedLine>(*instruments.back(), port.addLine(number)));
        return *instruments.back();
    }

    // A far end on port `number` that answers as scripted (a ZQ5 reporting W.m-2 and
    // readings 123.4 and 56.7 with sunshine, unless changed).
    ScriptedLine &addScripted(int number)
    {
        scripted.push_back(std::make_unique<ScriptedLine>(port.addLine(number)));
        ScriptedLine &far = *scripted.back();
        far.on("R", PromptReply);
        far.on("I", statusReply());
        far.on("S", "S123.4,56.7,1\r");
        far.on("T", "\r\nTEST:");
        return far;
    }

    // A port that opens but where nothing answers.
    FakeLine &addSilentPort(int number) { return port.addLine(number); }

    void start(const QString &commandLine = QString()) { window->startUp(commandLine); }

    // One tick of the poll, 2 s after the one before.
    void tick()
    {
        clock.advanceSeconds(2.0);
        window->Timer1_Timer();
    }

    const DisplayControls &ui() const { return window->controls(); }
    SensorLink &link() { return window->ZQ4(); }
    PortMenu &portMenu() const { return *ui().mnuSerialPort; }

    QStringList portCaptions() const
    {
        QStringList captions;
        for (int i = 0; i < portMenu().count(); ++i)
            captions.append(portMenu().caption(i));
        return captions;
    }

    // What the computer wrote on port `number` since the last call.
    QByteArray takeWritten(int number)
    {
        FakeLine *line = port.line(number);
        if (!line)
            return {};
        const QByteArray written = line->written();
        line->clearWritten();
        return written;
    }

    static bool shown(const QWidget *widget) { return !widget->isHidden(); }
    static bool shown(const QAction *action) { return action->isVisible(); }

    VirtualClock clock;
    FakeSerialPort port{clock};
    FakeEventPump pump;
    RecordingPrompts prompts;
    std::vector<std::unique_ptr<Instrument>> instruments;
    std::vector<std::unique_ptr<SimulatedLine>> simulated;
    std::vector<std::unique_ptr<ScriptedLine>> scripted;
    std::unique_ptr<frmDisplay> window;
};
