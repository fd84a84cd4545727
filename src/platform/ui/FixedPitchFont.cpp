// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/ui/FixedPitchFont.h"

#include <QFontDatabase>
#include <QFontInfo>

QFont FixedPitchFont(int pointSize)
{
    QFont font(QStringLiteral("Courier New"));
    font.setStyleHint(QFont::TypeWriter);
    font.setFixedPitch(true);
    // The family asked for may be replaced by one that is not fixed-pitch.
    if (!QFontInfo(font).fixedPitch())
        font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    if (pointSize > 0)
        font.setPointSize(pointSize);
    return font;
}
