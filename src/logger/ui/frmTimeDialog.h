// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDialog>
#include <QTimer>

class Clock;
class QDateEdit;
class QLabel;
class QPushButton;
class QRadioButton;
class QTimeEdit;

// What the two clock dialogs of the logger window share: a first option ("now"), a
// label with the current time refreshed every 500 ms, a second option with a date picker
// and a time picker (altering either picker selects it), and OK and Cancel.
class frmTimeDialog : public QDialog
{
    Q_OBJECT

public:
    static constexpr int TimerIntervalMs = 500;

    QLabel *lblPCTime;
    QRadioButton *optSet;
    QDateEdit *DTDate;
    QTimeEdit *DTTime;
    QTimer Timer1;
    QPushButton *OKButton;
    QPushButton *CancelButton;

    // The date and time the two pickers make together, as days.
    double pickedTime() const;

    void done(int result) override;

protected:
    frmTimeDialog(Clock &clock, const QString &caption, const QString &nowCaption,
                  const char *nowName, const QString &setCaption, QWidget *parent);

    // The first option, selected when the dialog opens.
    QRadioButton *nowOption() const { return m_now; }
    // The computer's date and time, as days.
    double computerNow() const;
    // The time the label shows.
    virtual double shownTime() const = 0;
    virtual void OKButton_Click() = 0;

    // Shows the current time, fills the pickers without selecting optSet, selects the
    // first option and starts the clock. `time` may be a whole day or more: the pickers
    // then show the day it carries into.
    void load(double date, double time);
    void Timer1_Timer();

private:
    Clock &m_clock;
    QRadioButton *m_now;
};
