// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "logger/ui/frmTimeDialog.h"

#include <QtGlobal>

#include <functional>

// "Start Logging": starts the logger at once, or at a date and time the user picks. All
// its times are the logger's: the computer's clock plus the logger's offset.
class frmStartLogging : public frmTimeDialog
{
    Q_OBJECT

public:
    // `startChosen` hears the start time (days, logger time) when OK is pressed; the
    // caller sends it to the logger once the dialog has closed.
    frmStartLogging(Clock &clock, std::function<void(double)> startChosen,
                    QWidget *parent = nullptr);

    QRadioButton *optNow;
    // Set by the caller before showing: the averaging period in seconds and the logger's
    // clock minus the computer's (days).
    qint32 AvgPeriod = 0;
    double ClockOffset = 0;

    // Shows the logger's time and offers the default start; runs when the dialog shows.
    void Form_Load();

protected:
    double shownTime() const override { return computerNow() + ClockOffset; }
    void OKButton_Click() override;
    void showEvent(QShowEvent *event) override;

private:
    std::function<void(double)> m_startChosen;
    bool m_loaded = false;
};
