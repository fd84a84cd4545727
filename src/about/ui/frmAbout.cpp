// SPDX-License-Identifier: GPL-3.0-or-later
#include "about/ui/frmAbout.h"

#include "about/ui/LineBreakLabel.h"
#include "platform/Clock.h"

#include <QClipboard>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QSvgWidget>
#include <QVBoxLayout>

// The pictures are compiled into the window library; a static library's resources must
// be registered by name, or the linker leaves them out.
static void loadAboutPictures()
{
    static const bool loaded = [] {
        Q_INIT_RESOURCE(quorvel);
        return true;
    }();
    Q_UNUSED(loaded);
}

namespace {

// The maker and its contact details, one per line (lines end in a CR alone).
const QLatin1String MakerLines("Quorvel Sensor Works Ltd\r"
                               "Ashby Marsh\r"
                               "Telephone +1 212 555 0142\r"
                               "www.quorvel.example\r"
                               "support@quorvel.example");

const QLatin1String TitleLines("Configuration software for Sunshine Sensor type ZQ3, ZQ5\n"
                               "and Sunshine Pyranometer type VTA1");

// Follows the program's title.
const QLatin1String LicenceText(" is free software under the GNU GPL, version 3 or later");

constexpr int PictureSize = 48;

QSvgWidget *sensorPicture(QWidget *parent)
{
    loadAboutPictures();
    auto *picture = new QSvgWidget(QStringLiteral(":/pictures/sensor.svg"), parent);
    picture->setFixedSize(PictureSize, PictureSize);
    return picture;
}

} // namespace

frmAbout::frmAbout(SensorLink &link, const Clock &clock, const ProgramFacts &facts, QWidget *parent)
    : QDialog(parent), Image1(sensorPicture(this)), lblTitle(new QLabel(this)),
      lblVersion(new QLabel(QStringLiteral("Version 0.0"), this)),
      lblDescription(new LineBreakLabel(QString(), this)), lblLicence(new QLabel(this)),
      Frame1(new QGroupBox(QStringLiteral("Sensor status"), this)),
      lblDetails(new LineBreakLabel(QStringLiteral("No sensor"), Frame1)),
      cmdCopytoClip(new QPushButton(QStringLiteral("Copy to clipboard"), Frame1)),
      cmdOK(new QPushButton(QStringLiteral("OK"), this)), m_link(link), m_clock(clock),
      m_readout(InstrumentReadout::found(link))
{
    setWindowTitle(QStringLiteral("About ") + facts.title);
    lblVersion->setText(VersionLine(facts));
    lblTitle->setText(TitleLines);
    lblDescription->setLines(MakerLines);
    lblLicence->setText(facts.title + LicenceText);
    Timer1_Timer();
    InstrumentReadout::request(link,
                               [box = QPointer<frmAbout>(this)](const InstrumentReadout &read) {
                                   if (!box)
                                       return;
                                   box->m_readout = read;
                                   box->Timer1_Timer();
                               });
    Timer1.setInterval(RefreshMs);
    connect(&Timer1, &QTimer::timeout, this, &frmAbout::Timer1_Timer);
    Timer1.start();

    // OK is both the default button (Enter) and the cancel button (Escape closes a
    // dialog by itself).
    cmdOK->setDefault(true);
    cmdOK->setAutoDefault(true);
    cmdCopytoClip->setAutoDefault(false);
    connect(cmdOK, &QPushButton::clicked, this, &frmAbout::cmdOK_Click);
    connect(cmdCopytoClip, &QPushButton::clicked, this, &frmAbout::cmdCopytoClip_Click);

    layOut();
}

void frmAbout::layOut()
{
    for (QLabel *label : {lblTitle, lblVersion, static_cast<QLabel *>(lblDescription), lblLicence})
        label->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    QFont titleFont = lblTitle->font();
    titleFont.setBold(true);
    lblTitle->setFont(titleFont);
    lblDetails->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    lblDetails->setTextInteractionFlags(Qt::TextSelectableByMouse);

    auto *texts = new QVBoxLayout;
    texts->setSpacing(8);
    texts->addWidget(lblTitle);
    texts->addWidget(lblVersion);
    texts->addWidget(lblDescription);
    texts->addWidget(lblLicence);

    auto *top = new QHBoxLayout;
    top->setSpacing(12);
    top->addWidget(Image1, 0, Qt::AlignTop);
    top->addLayout(texts, 1);

    auto *copyRow = new QHBoxLayout;
    copyRow->addStretch();
    copyRow->addWidget(cmdCopytoClip);
    auto *frame = new QVBoxLayout(Frame1);
    frame->addWidget(lblDetails);
    frame->addLayout(copyRow);

    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(cmdOK);

    auto *layout = new QVBoxLayout(this);
    layout->setSpacing(12);
    layout->addLayout(top);
    layout->addWidget(Frame1);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

void frmAbout::Timer1_Timer()
{
    lblDetails->setLines(SnapshotText(m_link, m_readout, m_clock.now()));
}

void frmAbout::cmdCopytoClip_Click()
{
    Timer1_Timer();
    QGuiApplication::clipboard()->setText(lblDetails->lines());
}

void frmAbout::cmdOK_Click()
{
    accept();
}
