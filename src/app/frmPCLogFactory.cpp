// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/frmPCLogFactory.h"

#include "pclog/ui/frmPCLog.h"
#include "platform/ui/GuiFileDialogs.h"

#include <memory>

frmDisplay::WindowFactory PCLogWindowFactory(Clock &clock, UserPrompts &prompts)
{
    struct Kept
    {
        GuiFileDialogs dialogs;
        std::unique_ptr<frmPCLog> window;
    };
    auto kept = std::make_shared<Kept>();
    return [kept, &clock, &prompts](frmDisplay &display) -> QWidget * {
        if (kept->window) {
            kept->window->Form_Load();
            return kept->window.get();
        }
        frmPCLog::Host host{[&display] { return display.TestMenuFlag; },
                            [&display] { display.takeBack(); }};
        kept->window = std::make_unique<frmPCLog>(display.ZQ4(), clock, prompts, kept->dialogs,
                                                  std::move(host));
        kept->dialogs.setOwner(kept->window.get());
        return kept->window.get();
    };
}
