// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QRadioButton>

// An option button whose selection is set only by its owner: a click or a key does not
// select it by itself, so the owner's handler alone decides which option ends up
// selected, and "no option selected" is possible. Not exclusive on its own either: the
// owner selects one and clears the others.
class OptionButton : public QRadioButton
{
    Q_OBJECT

public:
    explicit OptionButton(const QString &text, QWidget *parent = nullptr)
        : QRadioButton(text, parent)
    {
        setAutoExclusive(false);
    }

protected:
    void nextCheckState() override {}
};
