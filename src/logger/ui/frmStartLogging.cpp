// SPDX-License-Identifier: GPL-3.0-or-later
#include "logger/ui/frmStartLogging.h"

#include "logger/LoggingStart.h"

#include <QRadioButton>

frmStartLogging::frmStartLogging(Clock &clock, std::function<void(double)> startChosen,
                                 QWidget *parent)
    : frmTimeDialog(clock, QStringLiteral("Start Logging"), QStringLiteral("&Immediate"), "optNow",
                    QStringLiteral("&Start logging at:"), parent),
      optNow(nowOption()), m_startChosen(std::move(startChosen))
{
    setObjectName(QStringLiteral("frmStartLogging"));
}

void frmStartLogging::showEvent(QShowEvent *event)
{
    // The caller sets the averaging period and the clock offset after construction.
    if (!m_loaded)
        Form_Load();
    frmTimeDialog::showEvent(event);
}

void frmStartLogging::Form_Load()
{
    m_loaded = true;
    const LoggingStart::Pickers start = LoggingStart::DefaultStart(shownTime(), AvgPeriod);
    load(start.date, start.time);
}

void frmStartLogging::OKButton_Click()
{
    m_startChosen(optNow->isChecked() ? LoggingStart::ImmediateStart(shownTime()) : pickedTime());
    accept();
}
