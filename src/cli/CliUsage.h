// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

// The text of --help: the commands, the options and the exit codes.
QString CliUsage();
