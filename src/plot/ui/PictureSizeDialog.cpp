// SPDX-License-Identifier: GPL-3.0-or-later
#include "plot/ui/PictureSizeDialog.h"

#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QSpinBox>

bool AskPictureSize(QWidget *parent, bool pdf, PictureSize &size)
{
    QDialog dialog(parent);
    dialog.setWindowTitle(pdf ? QObject::tr("PDF size") : QObject::tr("Picture size"));
    auto *form = new QFormLayout(&dialog);
    auto *width = new QSpinBox;
    auto *height = new QSpinBox;
    for (QSpinBox *box : {width, height}) {
        box->setRange(100, 20000);
        box->setSuffix(pdf ? QObject::tr(" pt") : QObject::tr(" px"));
    }
    width->setValue(size.width);
    height->setValue(size.height);
    form->addRow(QObject::tr("Width:"), width);
    form->addRow(QObject::tr("Height:"), height);
    auto *resolution = new QComboBox;
    for (const int times : {1, 2, 3, 4})
        resolution->addItem(QObject::tr("%1 × the screen's").arg(times), times);
    if (!pdf)
        form->addRow(QObject::tr("Resolution:"), resolution);
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    form->addRow(buttons);
    if (dialog.exec() != QDialog::Accepted)
        return false;
    size.width = width->value();
    size.height = height->value();
    size.scale = pdf ? 1.0 : resolution->currentData().toDouble();
    return true;
}
