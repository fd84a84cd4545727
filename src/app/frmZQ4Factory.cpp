// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/frmZQ4Factory.h"

#include "link/ui/frmZQ4.h"

#include <memory>

frmDisplay::WindowFactory TerminalWindowFactory()
{
    auto terminal = std::make_shared<std::unique_ptr<frmZQ4>>();
    return [terminal](frmDisplay &display) -> QWidget * {
        if (!*terminal)
            *terminal = std::make_unique<frmZQ4>(display.ZQ4());
        return terminal->get();
    };
}
