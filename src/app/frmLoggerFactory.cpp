// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/frmLoggerFactory.h"

#include "logger/ui/frmLogger.h"

#include <memory>

frmDisplay::WindowFactory LoggerWindowFactory(Clock &clock, UserPrompts &prompts)
{
    auto window = std::make_shared<std::unique_ptr<frmLogger>>();
    return [window, &clock, &prompts](frmDisplay &display) -> QWidget * {
        window->reset();
        *window = std::make_unique<frmLogger>(display.ZQ4(), clock, prompts,
                                              [&display] { display.takeBack(); });
        return window->get();
    };
}
