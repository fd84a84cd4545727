// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

class QWidget;

// The size of an exported picture: in pixels (points for a PDF) and, for a PNG, the
// resolution as a multiple of the screen's (2 doubles every pixel of the same layout).
struct PictureSize
{
    int width = 0;
    int height = 0;
    double scale = 1.0;
};

// Asks for the size, offering `size`; false when the user cancelled.
bool AskPictureSize(QWidget *parent, bool pdf, PictureSize &size);
