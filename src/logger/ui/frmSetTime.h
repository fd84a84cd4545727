// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "logger/ui/frmTimeDialog.h"

#include <functional>

// "Set Logger Time": sets the logger's clock to the computer's time, or to a date and
// time the user picks.
class frmSetTime : public frmTimeDialog
{
    Q_OBJECT

public:
    // `timeChosen` hears the new clock time (days) when OK is pressed; the caller sends it
    // to the logger once the dialog has closed.
    frmSetTime(Clock &clock, std::function<void(double)> timeChosen, QWidget *parent = nullptr);

    QRadioButton *optSync;

protected:
    double shownTime() const override { return computerNow(); }
    void OKButton_Click() override;

private:
    std::function<void(double)> m_timeChosen;
};
