// SPDX-License-Identifier: GPL-3.0-or-later
#include "logger/ui/frmLoggerControls.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QPushButton>
#include <QStatusBar>
#include <QVBoxLayout>

namespace {

template <typename Control> Control *named(Control *control, const char *name)
{
    control->setObjectName(QString::fromLatin1(name));
    return control;
}

QLabel *label(const char *name, const QString &caption = QString(),
              const QString &toolTip = QString())
{
    auto *control = named(new QLabel(caption), name);
    control->setToolTip(toolTip);
    return control;
}

// A value label: room for a date and time, and selectable so its text can be copied.
QLabel *valueLabel(const char *name, const QString &toolTip)
{
    QLabel *control = label(name, QString(), toolTip);
    control->setMinimumWidth(150);
    control->setTextInteractionFlags(Qt::TextSelectableByMouse);
    return control;
}

QPushButton *button(const char *name, const QString &caption, const QString &toolTip = QString())
{
    auto *control = named(new QPushButton(caption), name);
    control->setToolTip(toolTip);
    control->setAutoDefault(false);
    return control;
}

QWidget *bar(const char *name, QWidget *parent)
{
    auto *control = named(new QWidget(parent), name);
    control->setAutoFillBackground(true);
    control->setGeometry(0, 0, 0, 0);
    return control;
}

} // namespace

LoggerControls::LoggerControls(QMainWindow &window)
{
    window.setWindowTitle(QStringLiteral("Logger"));
    auto *client = new QWidget(&window);
    auto *column = new QVBoxLayout(client);

    // Logger: the instrument's details and its clock.
    Frame3 = named(new QGroupBox(QStringLiteral("Logger")), "Frame3");
    auto *logger = new QGridLayout(Frame3);
    Label6 = label("Label6");
    Label6->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    lblSerial = label("lblSerial");
    lblSerial->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    lblSerial->setTextInteractionFlags(Qt::TextSelectableByMouse);
    Label8 = label("Label8", QStringLiteral("Clock"));
    lblLoggerTime = valueLabel("lblLoggerTime", QStringLiteral("Logger Date & Time"));
    // As wide as its text, so a warning background marks the time only.
    lblLoggerTime->setMinimumWidth(0);
    lblLoggerTime->setSizePolicy(QSizePolicy::Maximum, QSizePolicy::Preferred);
    txtLoggerTime = named(new QLineEdit, "txtLoggerTime");
    txtLoggerTime->setToolTip(QStringLiteral("Logger time"));
    txtLoggerTime->setReadOnly(true);
    txtLoggerTime->hide();
    logger->addWidget(Label6, 0, 0);
    logger->addWidget(lblSerial, 0, 1);
    logger->addWidget(Label8, 1, 0);
    logger->addWidget(lblLoggerTime, 1, 1);
    logger->addWidget(txtLoggerTime, 2, 1);
    logger->setColumnStretch(2, 1);
    column->addWidget(Frame3);

    // Dataset: the record times, the memory bar and when memory will be full.
    Frame2 = named(new QGroupBox(QStringLiteral("Dataset")), "Frame2");
    auto *dataset = new QGridLayout(Frame2);
    Label3 = label("Label3", QStringLiteral("Next record at"));
    lblNextRdg =
        valueLabel("lblNextRdg", QStringLiteral("When the next record is due to be stored"));
    Label4 = label("Label4", QStringLiteral("First record"));
    lblFirstRecord = valueLabel("lblFirstRecord", QStringLiteral("First record in the dataset"));
    Label9 = label("Label9", QStringLiteral("Last record"));
    lblLastRecord = valueLabel("lblLastRecord",
                               QStringLiteral("The time of the most recent record in the dataset"));
    Label10 = label("Label10", QStringLiteral("Last record retrieved"));
    lblRetrieved = valueLabel("lblRetrieved",
                              QStringLiteral("The last record that has already been downloaded"));
    Picture1 = named(new QFrame, "Picture1");
    Picture1->setFrameStyle(QFrame::Box | QFrame::Plain);
    Picture1->setLineWidth(1);
    Picture1->setAutoFillBackground(true);
    QPalette white = Picture1->palette();
    white.setColor(QPalette::Window, Qt::white);
    Picture1->setPalette(white);
    Picture1->setFixedSize(BarScaleWidth + 2, BarScaleHeight + 2);
    Bar1 = bar("Bar1", Picture1);
    Bar2 = bar("Bar2", Picture1);
    lblMemoryFullAt = label("lblMemoryFullAt", QStringLiteral("Memory full at"));
    lblMemoryFull = valueLabel("lblMemoryFull",
                               QStringLiteral("When memory will be full, or new records will be "
                                              "overwritten"));
    dataset->addWidget(Label3, 0, 0);
    dataset->addWidget(lblNextRdg, 0, 1);
    dataset->addWidget(Label4, 1, 0);
    dataset->addWidget(lblFirstRecord, 1, 1);
    dataset->addWidget(Label9, 2, 0);
    dataset->addWidget(lblLastRecord, 2, 1);
    dataset->addWidget(Label10, 3, 0);
    dataset->addWidget(lblRetrieved, 3, 1);
    dataset->addWidget(Picture1, 4, 0, 1, 2, Qt::AlignHCenter);
    dataset->addWidget(lblMemoryFullAt, 5, 0);
    dataset->addWidget(lblMemoryFull, 5, 1);
    dataset->setColumnStretch(1, 1);
    column->addWidget(Frame2);

    // Program: the periods and the overwrite choice for the next logging run.
    Frame1 = named(new QGroupBox(QStringLiteral("Program")), "Frame1");
    auto *program = new QGridLayout(Frame1);
    Label1 = label("Label1", QStringLiteral("Reading Period"));
    cboRdg = named(new QComboBox, "cboRdg");
    cboRdg->setToolTip(QStringLiteral("How often a reading is taken"));
    Label2 = label("Label2", QStringLiteral("Average period"));
    cboAvg = named(new QComboBox, "cboAvg");
    cboAvg->setToolTip(QStringLiteral("How often a reading is stored"));
    Label5 = label("Label5", QStringLiteral("Overwrite"));
    chkOverwrite = named(new QCheckBox, "chkOverwrite");
    chkOverwrite->setToolTip(
        QStringLiteral("If checked, older readings are deleted to make room for newer readings"));
    Label5->setBuddy(chkOverwrite);
    lblEstimatedFullAt = label("lblEstimatedFullAt", QStringLiteral("Predicted memory full"));
    lblEstimatedFull =
        valueLabel("lblEstimatedFull",
                   QStringLiteral("When memory would be full with these program settings"));
    program->addWidget(Label1, 0, 0);
    program->addWidget(cboRdg, 0, 1);
    program->addWidget(Label2, 1, 0);
    program->addWidget(cboAvg, 1, 1);
    program->addWidget(Label5, 2, 0);
    program->addWidget(chkOverwrite, 2, 1);
    program->addWidget(lblEstimatedFullAt, 3, 0);
    program->addWidget(lblEstimatedFull, 3, 1);
    program->setColumnStretch(2, 1);
    column->addWidget(Frame1);

    auto *buttons = new QHBoxLayout;
    cmdRefresh = button("cmdRefresh", QStringLiteral("&Refresh"),
                        QStringLiteral("Get logging information from sensor"));
    cmdSetTime = button("cmdSetTime", QStringLiteral("&Set time"),
                        QStringLiteral("Change the logger's clock"));
    cmdStartLogging = button("cmdStartLogging", QStringLiteral("Start &Logging"));
    cmdDownload = button("cmdDownload", QStringLiteral("&Download"));
    buttons->addWidget(cmdRefresh);
    buttons->addWidget(cmdSetTime);
    buttons->addWidget(cmdStartLogging);
    buttons->addWidget(cmdDownload);
    column->addLayout(buttons);
    column->addStretch(1);

    window.setCentralWidget(client);
    StatusBar1 = named(new QStatusBar, "StatusBar1");
    window.setStatusBar(StatusBar1);
}
