// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <array>

class ElidedLabel;
class OptionButton;
class PortMenu;
class QAction;
class QFrame;
class QGroupBox;
class QLabel;
class QMainWindow;
class QMenu;
class QStatusBar;
class SvgPicture;
class QWidget;

// The controls of the main window, laid out at fixed pixel positions (at 96 dpi): a
// client area of 272 by 296 above the status bar. Built once in code; the window's
// behaviour lives in frmDisplay.
struct DisplayControls
{
    // Builds every control, menu and caption on `window` (as its central widget, menu
    // bar and status bar) and fixes the window's size.
    explicit DisplayControls(QMainWindow &window);

    QMenu *mnuSerial;
    PortMenu *mnuSerialPort;
    QMenu *mnuTest;
    QAction *mnuTestTerminal;
    QMenu *mnuLogging;
    QAction *mnuPCLog;
    QAction *mnuLogger;
    QAction *mnuAbout;

    QWidget *client;
    QLabel *Label1;
    QLabel *lblVersion;
    QLabel *Label3;
    QLabel *lblPower;
    QLabel *lblStatus;
    QLabel *lblLogStatus;
    // Index 1 marks an exchange in progress and is drawn above index 0.
    std::array<SvgPicture *, 2> imgPC;
    std::array<SvgPicture *, 2> imgSS;
    QFrame *Line1;

    QGroupBox *Frame2;
    QLabel *Label7;
    QLabel *lblTotal;
    QLabel *Label8;
    QLabel *lblDiffuse;
    QLabel *Label9;
    // 0 clouds, 1 sun, 2 blank; 0 and 1 are drawn above 2.
    std::array<SvgPicture *, 3> imgSun;

    QGroupBox *Frame1;
    std::array<OptionButton *, 3> Option1;
    std::array<QLabel *, 3> lblOpt;

    QStatusBar *StatusBar1;
    // The status bar's one text area.
    ElidedLabel *statusText;
    // A link beside it, "How to fix", shown when no port could be used for a reason the
    // user can remedy.
    QLabel *lblHowToFix;
};
