// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "display/DisplayView.h"

// The main window's poll seen from the command line: only the units chosen and the
// status line count, so that "units" sets them, and is refused, with the window's texts.
class UnitsChoiceView : public DisplayView
{
public:
    bool loggerFlag() const override { return false; }
    void showFields(const InstrumentFields &) override {}
    void setLoggerMenuVisible(bool) override {}
    void showReadingCaption(const QString &text) override { caption = text; }
    void showReadings(const QString &, const QString &, bool) override {}
    void clearReadings() override {}
    void showUnitsChoice(int index, bool isBold) override
    {
        selected = index;
        bold = isBold;
    }
    void showActivity(bool, bool) override {}
    void paintNow() override {}
    void setStatusText(const QString &text) override { status = text; }
    void checkPort(int) override {}

    int selected = -1;
    bool bold = false;
    QString caption;
    QString status;
};
