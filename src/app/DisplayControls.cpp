// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/DisplayControls.h"

#include "app/ElidedLabel.h"
#include "app/OptionButton.h"
#include "app/PortMenu.h"
#include "app/SvgPicture.h"

#include <QFontMetrics>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QLayout>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QStatusBar>

#include <algorithm>

namespace {

constexpr int ClientWidth = 272;
constexpr int ClientHeight = 296;
constexpr int BaseFontPoints = 8;
constexpr int ReadingFontPoints = 18;

QLabel *label(QWidget *parent, const QString &text, const QRect &geometry)
{
    auto *control = new QLabel(text, parent);
    // Texts come from the instrument: never read them as markup.
    control->setTextFormat(Qt::PlainText);
    control->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    control->setGeometry(geometry);
    return control;
}

QLabel *readingLabel(QWidget *parent, const QRect &geometry)
{
    QLabel *control = label(parent, QString(), geometry);
    control->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    QFont font = control->font();
    font.setPointSize(ReadingFontPoints);
    control->setFont(font);
    return control;
}

SvgPicture *picture(QWidget *parent, const char *name, const QRect &geometry)
{
    auto *control = new SvgPicture(QStringLiteral(":/pictures/") + QLatin1String(name), parent);
    control->setGeometry(geometry);
    return control;
}

QGroupBox *frame(QWidget *parent, const QString &title, const QRect &geometry)
{
    auto *control = new QGroupBox(title, parent);
    control->setGeometry(geometry);
    return control;
}

} // namespace

// The pictures are compiled into the window library; a static library's resources must
// be registered by name, or the linker leaves them out.
static void loadPictures()
{
    static const bool loaded = [] {
        Q_INIT_RESOURCE(quorvel);
        return true;
    }();
    Q_UNUSED(loaded);
}

DisplayControls::DisplayControls(QMainWindow &window)
{
    loadPictures();
    QFont base = window.font();
    base.setPointSize(BaseFontPoints);
    window.setFont(base);

    // Menus.
    QMenuBar *bar = window.menuBar();
    mnuSerial = bar->addMenu(QStringLiteral("&Serial port"));
    mnuSerialPort = new PortMenu(*mnuSerial, &window);
    mnuTest = bar->addMenu(QStringLiteral("&Test"));
    mnuTestTerminal = mnuTest->addAction(QStringLiteral("&Terminal"));
    mnuTest->menuAction()->setVisible(false);
    mnuLogging = bar->addMenu(QStringLiteral("&Logging"));
    mnuPCLog = mnuLogging->addAction(QStringLiteral("Log to &PC"));
    mnuLogger = mnuLogging->addAction(QStringLiteral("&Built-in Logger"));
    mnuLogger->setVisible(false);
    mnuAbout = bar->addAction(QStringLiteral("&About"));

    // Client area.
    client = new QWidget(&window);
    client->setFixedSize(ClientWidth, ClientHeight);
    window.setCentralWidget(client);

    Line1 = new QFrame(client);
    Line1->setFrameShape(QFrame::HLine);
    Line1->setFrameShadow(QFrame::Sunken);
    Line1->setGeometry(0, 0, ClientWidth, 2);

    Label1 = label(client, QStringLiteral("Firmware version:"), QRect(8, 8, 57, 25));
    Label1->setWordWrap(true);
    lblVersion = label(client, QString(), QRect(72, 8, 161, 25));
    Label3 = label(client, QStringLiteral("Power:"), QRect(8, 40, 41, 17));
    lblPower = label(client, QString(), QRect(72, 40, 137, 17));
    lblStatus = label(client, QStringLiteral("Status:"), QRect(8, 64, 57, 17));
    lblLogStatus = label(client, QString(), QRect(72, 64, 129, 17));

    imgPC[0] = picture(client, "pc.svg", QRect(232, 8, 32, 32));
    imgPC[1] = picture(client, "pc_active.svg", QRect(232, 8, 32, 32));
    imgSS[0] = picture(client, "sensor.svg", QRect(232, 40, 32, 32));
    imgSS[1] = picture(client, "sensor_active.svg", QRect(232, 40, 32, 32));

    Frame2 = frame(client, QStringLiteral("Reading"), QRect(8, 88, 257, 177));
    Label7 = label(Frame2, QStringLiteral("Total"), QRect(8, 16, 89, 17));
    Label8 = label(Frame2, QStringLiteral("Diffuse"), QRect(112, 16, 89, 17));
    Label9 = label(Frame2, QStringLiteral("Sun"), QRect(216, 16, 36, 17));
    lblTotal = readingLabel(Frame2, QRect(8, 32, 89, 33));
    lblDiffuse = readingLabel(Frame2, QRect(112, 32, 89, 33));
    // The blank sky first, so that the clouds and the sun are drawn above it.
    imgSun[2] = picture(Frame2, "blank.svg", QRect(216, 32, 36, 36));
    imgSun[0] = picture(Frame2, "sky_cloudy.svg", QRect(216, 32, 36, 36));
    imgSun[1] = picture(Frame2, "sky_sunny.svg", QRect(216, 32, 36, 36));

    Frame1 = frame(Frame2, QStringLiteral("Units"), QRect(8, 72, 241, 97));
    const char *options[] = {"Molar", "Energy", "Illuminance"};
    const char *units[] = {"umol.m-2.s-1", "W.m-2", "klux"};
    // The chosen option is shown in bold: each option is wide enough for its bold text,
    // so that "Illuminance" is not cut, and the units labels follow the widest.
    int optionWidth = 89;
    for (int i = 0; i < 3; ++i) {
        Option1[i] = new OptionButton(QLatin1String(options[i]), Frame1);
        QFont bold = Option1[i]->font();
        bold.setBold(true);
        const int indicator = Option1[i]->sizeHint().width() -
                              Option1[i]->fontMetrics().horizontalAdvance(Option1[i]->text());
        optionWidth = std::max(
            optionWidth, indicator + QFontMetrics(bold).horizontalAdvance(Option1[i]->text()));
    }
    for (int i = 0; i < 3; ++i) {
        Option1[i]->setGeometry(8, 16 + 24 * i, optionWidth, 25);
        lblOpt[i] = label(Frame1, QLatin1String(units[i]),
                          QRect(15 + optionWidth, 21 + 24 * i, 218 - optionWidth, 17));
    }

    // Only the resting computer and the blank sky show at start.
    imgPC[1]->setVisible(false);
    imgSS[0]->setVisible(false);
    imgSS[1]->setVisible(false);
    imgSun[0]->setVisible(false);
    imgSun[1]->setVisible(false);

    // Status bar with one text area (a label: menus do not clear it as they do a
    // temporary message).
    StatusBar1 = window.statusBar();
    StatusBar1->setSizeGripEnabled(false);
    statusText = new ElidedLabel(QStringLiteral("Finding Serial ports"), StatusBar1);
    // A long status text is cut at the window's edge instead of widening the window; the
    // whole text is its tool tip.
    statusText->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    StatusBar1->addWidget(statusText, 1);
    // Shown while the status says why no port could be used: the whole reason and its
    // remedy do not fit the bar.
    lblHowToFix = new QLabel(QStringLiteral("<a href=\"fix\">How to fix</a>"), StatusBar1);
    lblHowToFix->setTextFormat(Qt::RichText);
    lblHowToFix->setVisible(false);
    StatusBar1->addPermanentWidget(lblHowToFix);

    window.layout()->setSizeConstraint(QLayout::SetFixedSize);
}
