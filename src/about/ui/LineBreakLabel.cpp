// SPDX-License-Identifier: GPL-3.0-or-later
#include "about/ui/LineBreakLabel.h"

LineBreakLabel::LineBreakLabel(const QString &lines, QWidget *parent) : QLabel(parent)
{
    setTextFormat(Qt::PlainText);
    setLines(lines);
}

void LineBreakLabel::setLines(const QString &lines)
{
    m_lines = lines;
    QString shown = lines;
    shown.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    shown.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    setText(shown);
}
