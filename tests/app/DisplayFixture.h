// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The main window and its poll on fake serial ports and a virtual clock: simulated
// instruments or a scripted far end on chosen port numbers, message boxes recorded.
#include "QtPrinters.h"
#include "RecordingPrompts.h"
#include "ScriptedLine.h"
#include "SimulatedLine.h"
#include "VirtualLinkEvents.h"
#include "app/frmDisplay.h"
#include "link/SensorLink.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

class DisplayFixture : public ::testing::Test
{
protected:
    DisplayFixture() { window = std::make_unique<frmDisplay>(port, clock, prompts); }

    // Far ends on ports 1 to 16, one letter per port from port 1: s silent, h held by
    // another program, p not to be opened for lack of permission, f no serial device, -
    // failing to open (so is every port after the last letter), 5 a simulated ZQ5, S a
    // scripted ZQ5.
    void setFarEnds(const char *ports)
    {
        simulated.clear(), instruments.clear(), scripted.reset();
        for (int number = 1; number <= 16; ++number) {
            const char code = number <= int(qstrlen(ports)) ? ports[number - 1] : '-';
            if (code == '5')
                addInstrument(number);
            else if (code == 'S')
                addScripted(number);
            else {
                FakeLine &line = port.addLine(number);
                line.openError = code == 'h'   ? SerialPort::ErrorPortAlreadyOpen
                                 : code == 'p' ? SerialPort::ErrorPermission
                                 : code == 'f' ? SerialPort::ErrorNotSerialDevice
                                 : code == '-' ? SerialPort::ErrorOpenFailed
                                               : 0;
                line.openErrorText = code == 'p' ? Denied : QString();
            }
        }
    }
    // A simulated instrument on port `number`.
    void addInstrument(int number, SimModel model = SimModel::ZQ5)
    {
        instruments.push_back(std::make_unique<Instrument>(clock, model));
        simulated.push_back(
            std::make_unique<SimulatedLine>(*instruments.back(), port.addLine(number)));
    }
    // A scripted ZQ5 in W.m-2 on port `number`, reading 123.4 and 56.7 in sun.
    ScriptedLine &addScripted(int number)
    {
        scripted = std::make_unique<ScriptedLine>(port.addLine(number));
        scripted->on("R", "\r\n\xAF");
        scripted->on("I", "IZQ5 v3.2\rUnits: W.m-2\rBattery 3612mV\r5523\rLogging\r");
        scripted->on("S", "S123.4,56.7,1\r");
        scripted->on("T", "\r\nTEST:");
        return *scripted;
    }

    // What the computer wrote since the last call: "2:RS" for "RS" on port 2.
    std::string written()
    {
        QByteArrayList all;
        for (int number = 1; number <= 16; ++number) {
            if (!port.line(number)->written().isEmpty())
                all.append(QByteArray::number(number) + ":" + port.line(number)->written());
            port.line(number)->clearWritten();
        }
        return all.join(' ').toStdString();
    }

    // A fresh main window on the far ends of `ports`.
    void newWindow(const char *ports, const PortTable *table = nullptr)
    {
        window.reset();
        setFarEnds(ports);
        window = std::make_unique<frmDisplay>(port, clock, prompts, table);
    }
    void start(const QString &commandLine = QString())
    {
        window->startUp(commandLine);
        runLink(window->ZQ4());
    }
    // One tick of the main window's poll, 2 s after the one before, and the exchanges it
    // queued run to their end.
    void tick() { clock.advanceSeconds(2.0), window->Timer1_Timer(), runLink(window->ZQ4()); }
    // What the event loop does for the link: its queued exchanges run to their end.
    void runLink(SensorLink &link)
    {
        runLinkEvents(clock, port, [&link] { return link.requestsIdle(); });
    }
    const DisplayControls &ui() const { return window->controls(); }

    // What the port says of a device the user may not open.
    static inline const QString Denied =
        "Permission denied on /dev/ttyUSB0: add your user to the dialout group (sudo usermod -aG "
        "dialout $USER) and log in again";
    VirtualClock clock;
    FakeSerialPort port{clock};
    RecordingPrompts prompts;
    std::vector<std::unique_ptr<Instrument>> instruments;
    std::vector<std::unique_ptr<SimulatedLine>> simulated;
    std::unique_ptr<ScriptedLine> scripted;
    // The window holds the link, which holds the port: it goes first.
    std::unique_ptr<frmDisplay> window;
};
