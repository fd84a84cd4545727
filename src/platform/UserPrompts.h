// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

// Message boxes and questions put to the user. Windows reach the user only through this
// seam, so a test can record what would have been shown and answer questions without a
// modal box.
class UserPrompts
{
public:
    virtual ~UserPrompts() = default;

    // A message with an OK button only.
    virtual void message(const QString &title, const QString &text) = 0;
    // A question with Yes and No buttons; true for Yes.
    virtual bool question(const QString &title, const QString &text) = 0;
    // A request with OK and Cancel buttons; true for OK.
    virtual bool confirm(const QString &title, const QString &text) = 0;
};
