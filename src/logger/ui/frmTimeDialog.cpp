// SPDX-License-Identifier: GPL-3.0-or-later
#include "logger/ui/frmTimeDialog.h"

#include "common/DateTimeDays.h"
#include "common/NamedFormats.h"
#include "platform/Clock.h"

#include <QDateEdit>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QTimeEdit>
#include <QVBoxLayout>

frmTimeDialog::frmTimeDialog(Clock &clock, const QString &caption, const QString &nowCaption,
                             const char *nowName, const QString &setCaption, QWidget *parent)
    : QDialog(parent), m_clock(clock)
{
    setWindowTitle(caption);
    m_now = new QRadioButton(nowCaption);
    m_now->setObjectName(QString::fromLatin1(nowName));
    lblPCTime = new QLabel;
    lblPCTime->setObjectName(QStringLiteral("lblPCTime"));
    optSet = new QRadioButton(setCaption);
    optSet->setObjectName(QStringLiteral("optSet"));

    const QLocale locale;
    DTDate = new QDateEdit;
    DTDate->setObjectName(QStringLiteral("DTDate"));
    DTDate->setDisplayFormat(locale.dateFormat(QLocale::ShortFormat));
    DTDate->setCalendarPopup(true);
    DTTime = new QTimeEdit;
    DTTime->setObjectName(QStringLiteral("DTTime"));
    DTTime->setDisplayFormat(LongTimePattern(locale));

    OKButton = new QPushButton(QStringLiteral("&OK"));
    OKButton->setObjectName(QStringLiteral("OKButton"));
    OKButton->setDefault(true);
    CancelButton = new QPushButton(QStringLiteral("&Cancel"));
    CancelButton->setObjectName(QStringLiteral("CancelButton"));

    auto *grid = new QGridLayout;
    grid->addWidget(m_now, 0, 0);
    grid->addWidget(lblPCTime, 0, 1, 1, 2);
    grid->addWidget(optSet, 1, 0);
    grid->addWidget(DTDate, 1, 1);
    grid->addWidget(DTTime, 1, 2);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(OKButton);
    buttons->addWidget(CancelButton);
    auto *column = new QVBoxLayout(this);
    column->addLayout(grid);
    column->addLayout(buttons);

    connect(DTDate, &QDateEdit::dateChanged, this, [this] { optSet->setChecked(true); });
    connect(DTTime, &QTimeEdit::timeChanged, this, [this] { optSet->setChecked(true); });
    connect(OKButton, &QPushButton::clicked, this, [this] { OKButton_Click(); });
    connect(CancelButton, &QPushButton::clicked, this, &QDialog::reject);
    Timer1.setInterval(TimerIntervalMs);
    connect(&Timer1, &QTimer::timeout, this, &frmTimeDialog::Timer1_Timer);
}

double frmTimeDialog::computerNow() const
{
    return DateTimeToDays(m_clock.now());
}

double frmTimeDialog::pickedTime() const
{
    return DateTimeToDays(QDateTime(DTDate->date(), DTTime->time()));
}

void frmTimeDialog::load(double date, double time)
{
    lblPCTime->setText(FormatLoggerTime(shownTime(), true));
    // A time of a whole day or more is shown as the day it carries into, so the pickers
    // show the very date and time they stand for.
    const QDateTime picked = DaysToDateTime(date + time);
    {
        const QSignalBlocker quietDate(DTDate);
        const QSignalBlocker quietTime(DTTime);
        DTDate->setDate(picked.date());
        DTTime->setTime(picked.time());
    }
    m_now->setChecked(true);
    Timer1.start();
}

void frmTimeDialog::Timer1_Timer()
{
    lblPCTime->setText(FormatLoggerTime(shownTime(), true));
}

void frmTimeDialog::done(int result)
{
    Timer1.stop();
    QDialog::done(result);
}
