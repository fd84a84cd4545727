#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Fails when the link, the platform layer or a window that uses the link waits inside an
# event handler: pumps events (processEvents), runs an event loop of its own (QEventLoop),
# sleeps, or blocks on the port. Every exchange runs from the event loop through the link's
# queue instead. quorvel-cli (src/cli) waits for the queue in a local event loop at the top
# of a command, and vantplot reads its files as it likes: both are outside this rule.
# Modal dialogs that ask the user something (exec() of a message box or a file dialog)
# wait for the user, not the instrument, and stay; so does a write handing its bytes to
# the system (waitForBytesWritten), which does not wait for the line.
set -euo pipefail
cd "${1:-$(dirname "$0")/..}"
folders=(src/link src/platform src/display src/about src/pclog src/logger src/app)
pattern='processEvents|QEventLoop|sleepMs|msleep|usleep|sleep_for|QThread::sleep|waitForReadyRead|[^A-Za-z_]DelayMs\(|SleepLettingEventsRun'
# A read of what the port holds already (a zero wait) does not block.
if found=$(grep -rnE "$pattern" "${folders[@]}" --include='*.cpp' --include='*.h' |
    grep -vF 'waitForReadyRead(0)'); then
    echo "event loops: waits found where the event loop must run:"
    echo "$found"
    exit 1
fi
echo "event loops: no event pumping, nested loop, sleep or blocking port wait in ${folders[*]}"
