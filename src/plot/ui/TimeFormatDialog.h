// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "plot/TimeFormatChooser.h"

#include <QDialog>

class QListWidget;
class QTableWidget;
class QWidget;

// The question of a file whose times read more than one way, as a spreadsheet's text
// import asks it: the first lines as written, beside each the time every reading gives,
// and the readings to choose from, with the locales that write them. Cancel reads none.
class TimeFormatDialog : public QDialog
{
    Q_OBJECT

public:
    TimeFormatDialog(const QString &fileName, const TimeFormatQuestion &question,
                     QWidget *parent = nullptr);

    // The reading chosen, or -1.
    int chosen() const;
    void choose(int candidate);

    QTableWidget *preview() const { return m_preview; }
    QListWidget *readings() const { return m_readings; }

private:
    QTableWidget *m_preview;
    QListWidget *m_readings;
};

// The window's chooser: asks with the dialog, naming the file being read.
class DialogTimeFormatChooser : public TimeFormatChooser
{
public:
    explicit DialogTimeFormatChooser(QWidget *parent) : m_parent(parent) {}
    void setFileName(const QString &fileName) { m_fileName = fileName; }
    int choose(const TimeFormatQuestion &question) override;

private:
    QWidget *m_parent;
    QString m_fileName;
};
