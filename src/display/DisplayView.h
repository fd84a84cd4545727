// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

// The instrument lines of the main window, as last shown.
struct InstrumentFields
{
    QString version;
    QString power;
    QString logStatus;
};

// What the main window's poll needs from the window it runs in: the places it shows the
// instrument, its readings, the units and the status, and the "/L" flag it follows.
class DisplayView
{
public:
    virtual ~DisplayView() = default;

    // "/L" was given: the log status and the built-in-logger item may appear.
    virtual bool loggerFlag() const = 0;

    // The firmware version, power and log status lines.
    virtual void showFields(const InstrumentFields &fields) = 0;
    // The log status with its caption, and the built-in-logger menu item.
    virtual void setLoggerMenuVisible(bool visible) = 0;
    // The readings frame's caption ("Reading Units: W.m-2").
    virtual void showReadingCaption(const QString &caption) = 0;
    // Total and diffuse as shown, and the sky: sun or clouds.
    virtual void showReadings(const QString &total, const QString &diffuse, bool sun) = 0;
    // No readings and neither sun nor clouds.
    virtual void clearReadings() = 0;
    // Units option `selected` chosen (0 umol.m-2.s-1, 1 W.m-2, 2 klux; -1 none), in bold
    // when `bold`; every other option plain and not chosen.
    virtual void showUnitsChoice(int selected, bool bold) = 0;
    // The pictures beside the instrument lines: the sensor found, and the marks of an
    // exchange in progress over both the computer and the sensor.
    virtual void showActivity(bool sensorFound, bool exchanging) = 0;
    // Paints the window at once: the exchange that follows holds the thread.
    virtual void paintNow() = 0;
    virtual void setStatusText(const QString &text) = 0;
    // The check mark of the port menu on port `number` ("None" for 0).
    virtual void checkPort(int number) = 0;
};
