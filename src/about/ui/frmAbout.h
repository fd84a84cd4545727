// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "about/AboutSnapshot.h"

#include <QDialog>

class Clock;
class LineBreakLabel;
class QGroupBox;
class QLabel;
class QPushButton;
class QSvgWidget;
class SensorLink;

// The about box, "About Quorvel": the program's version, maker and licence, and a snapshot of the
// instrument (status, firmware, serial number, calibration date, sunshine ratio, units,
// battery) that can be copied to the clipboard. It reads the instrument once, while it is
// built; the snapshot is not refreshed while the box is open. Shown modal.
class frmAbout : public QDialog
{
    Q_OBJECT

public:
    frmAbout(SensorLink &link, const Clock &clock,
             const ProgramFacts &facts = ProgramFacts::current(), QWidget *parent = nullptr);

    // Puts the snapshot on the clipboard exactly as kept, lines separated by CR LF.
    void cmdCopytoClip_Click();
    void cmdOK_Click();

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
};
