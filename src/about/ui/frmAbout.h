// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "about/AboutSnapshot.h"

#include <QDialog>
#include <QTimer>

class Clock;
class LineBreakLabel;
class QGroupBox;
class QLabel;
class QPushButton;
class QSvgWidget;
class SensorLink;

// The about box, "About Quorvel": the program's version, maker and licence, and a snapshot of the
// instrument (status, firmware, serial number, calibration date, sunshine ratio, units,
// battery) that can be copied to the clipboard. It reads the instrument once, through the
// link's queue, when it opens (the details and ratio join the snapshot when they are in);
// while it is open the snapshot follows the link every second (a loss, a
// reconnection, another instrument, the counts) without talking to the instrument. Shown
// modal.
class frmAbout : public QDialog
{
    Q_OBJECT

public:
    frmAbout(SensorLink &link, const Clock &clock,
             const ProgramFacts &facts = ProgramFacts::current(), QWidget *parent = nullptr);

    static constexpr int RefreshMs = 1000;

    // Puts the snapshot, as the link stands at the click, on the clipboard, lines
    // separated by CR LF.
    void cmdCopytoClip_Click();
    void cmdOK_Click();
    // Shows the snapshot as the link stands now.
    void Timer1_Timer();

    QTimer Timer1;

    QSvgWidget *const Image1;
    QLabel *const lblTitle;
    QLabel *const lblVersion;
    LineBreakLabel *const lblDescription;
    // The program's licence, in one line.
    QLabel *const lblLicence;
    QGroupBox *const Frame1;
    LineBreakLabel *const lblDetails;
    QPushButton *const cmdCopytoClip;
    QPushButton *const cmdOK;

private:
    void layOut();

    const SensorLink &m_link;
    const Clock &m_clock;
    InstrumentReadout m_readout;
};
