// SPDX-License-Identifier: GPL-3.0-or-later
#include "logger/ui/frmSetTime.h"

#include <QRadioButton>

#include <cmath>

frmSetTime::frmSetTime(Clock &clock, std::function<void(double)> SetLoggerTime, QWidget *parent)
    : frmTimeDialog(clock, QStringLiteral("Set Logger Time"), QStringLiteral("&Synchronise to PC:"),
                    "optSync", QStringLiteral("Set &time to:"), parent),
      optSync(nowOption()), m_setLoggerTime(std::move(SetLoggerTime))
{
    setObjectName(QStringLiteral("frmSetTime"));
    const double now = computerNow();
    const double today = std::floor(now);
    load(today, now - today);
}

void frmSetTime::OKButton_Click()
{
    m_setLoggerTime(optSync->isChecked() ? computerNow() : pickedTime());
    accept();
}
