// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QLabel>

// A label whose text keeps its own line ends (CR LF, or a CR alone) and shows each of
// them as a line break. text() is the shown text; lines() is the text as it was given.
class LineBreakLabel : public QLabel
{
    Q_OBJECT

public:
    explicit LineBreakLabel(const QString &lines = QString(), QWidget *parent = nullptr);

    void setLines(const QString &lines);
    QString lines() const { return m_lines; }

private:
    QString m_lines;
};
