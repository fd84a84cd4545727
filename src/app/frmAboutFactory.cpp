// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/frmAboutFactory.h"

#include "about/ui/frmAbout.h"

#include <QPointer>

#include <memory>

frmDisplay::WindowFactory AboutBoxFactory(const Clock &clock)
{
    // The box is a child of the main window (so it opens over it); the holder deletes it
    // unless the main window already has.
    auto box =
        std::shared_ptr<QPointer<frmAbout>>(new QPointer<frmAbout>, [](QPointer<frmAbout> *held) {
            delete held->data();
            delete held;
        });
    return [box, &clock](frmDisplay &display) -> QWidget * {
        delete box->data();
        *box = new frmAbout(display.ZQ4(), clock, ProgramFacts::current(), &display);
        return box->data();
    };
}
