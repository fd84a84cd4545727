// SPDX-License-Identifier: GPL-3.0-or-later
#include "logger/ui/frmSetTime.h"

#include <QRadioButton>

#include <cmath>

frmSetTime::frmSetTime(Clock &clock, std::function<void(double)> timeChosen, QWidget *parent)
    : frmTimeDialog(clock, QStringLiteral("Set Logger Time"), QStringLiteral("&Synchronise to PC:"),
                    "optSync", QStringLiteral("Set &time to:"), parent),
      optSync(nowOption()), m_timeChosen(std::move(timeChosen))
{
    setObjectName(QStringLiteral("frmSetTime"));
    const double now = computerNow();
    const double today = std::floor(now);
    load(today, now - today);
}

void frmSetTime::OKButton_Click()
{
    m_timeChosen(optSync->isChecked() ? computerNow() : pickedTime());
    accept();
}
