// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

class QCheckBox;
class QComboBox;
class QFrame;
class QGroupBox;
class QLabel;
class QLineEdit;
class QMainWindow;
class QPushButton;
class QStatusBar;
class QWidget;

// The controls of the logger window, built once in code: the "Logger" frame with the
// instrument's details and clock, the "Dataset" frame with the record times, the memory
// bar and the memory-full time, the "Program" frame with the two period lists and the
// overwrite box, the row of buttons and the status bar. The window's behaviour lives in
// frmLogger.
struct LoggerControls
{
    // Builds every control and caption on `window` (as its central widget and status bar).
    explicit LoggerControls(QMainWindow &window);

    // Width and height of the memory bar's inner area, its scale units.
    static constexpr int BarScaleWidth = 300;
    static constexpr int BarScaleHeight = 14;

    QGroupBox *Frame3;
    QLabel *Label6;
    QLabel *lblSerial;
    QLabel *Label8;
    QLabel *lblLoggerTime;
    // Mirrors lblLoggerTime's text and colours, for copying the logger's time.
    QLineEdit *txtLoggerTime;

    QGroupBox *Frame2;
    QLabel *Label3;
    QLabel *lblNextRdg;
    QLabel *Label4;
    QLabel *lblFirstRecord;
    QLabel *Label9;
    QLabel *lblLastRecord;
    QLabel *Label10;
    QLabel *lblRetrieved;
    QFrame *Picture1;
    QWidget *Bar1;
    QWidget *Bar2;
    QLabel *lblMemoryFullAt;
    QLabel *lblMemoryFull;

    QGroupBox *Frame1;
    QLabel *Label1;
    QComboBox *cboRdg;
    QLabel *Label2;
    QComboBox *cboAvg;
    QLabel *Label5;
    QCheckBox *chkOverwrite;
    QLabel *lblEstimatedFullAt;
    QLabel *lblEstimatedFull;

    QPushButton *cmdRefresh;
    QPushButton *cmdSetTime;
    QPushButton *cmdStartLogging;
    QPushButton *cmdDownload;

    QStatusBar *StatusBar1;
};
