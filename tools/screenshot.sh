#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Takes a screenshot of the main window on the built-in simulator, for a human look:
# runs "quorvel --demo /E /L" in a virtual X display, waits until the readings show and
# grabs the screen into screenshots/main.png. Builds nothing: give the program as the
# first argument, or build build/release/quorvel first.
#
#   tools/screenshot.sh [PROGRAM] [SECONDS]
set -euo pipefail
cd "$(dirname "$0")/.."

program="${1:-build/release/quorvel}"
wait_seconds="${2:-6}"
output="screenshots/main.png"

if [ ! -x "$program" ]; then
    echo "screenshot: $program not found; build it first (tools/build.sh release)" >&2
    exit 1
fi
if ! command -v xvfb-run >/dev/null; then
    echo "screenshot: xvfb-run is missing (apt-get install xvfb)" >&2
    exit 1
fi
if ! command -v import >/dev/null; then
    echo "screenshot: installing imagemagick for 'import'" >&2
    if [ "$(id -u)" -eq 0 ]; then
        apt-get install -y imagemagick >/dev/null
    else
        sudo apt-get install -y imagemagick >/dev/null
    fi
fi

mkdir -p screenshots
rm -f "$output"
program="$(realpath "$program")"

# Inside the virtual display: start the program, give it time to find the simulator
# and show readings, grab the screen, then end the program.
xvfb-run -a -s "-screen 0 800x600x24" bash -c '
    "$1" --demo /E /L &
    pid=$!
    sleep "$2"
    if ! kill -0 "$pid" 2>/dev/null; then
        echo "screenshot: the program ended early" >&2
        exit 1
    fi
    import -window root "$3"
    kill "$pid"
    wait "$pid" 2>/dev/null || true
' screenshot "$program" "$wait_seconds" "$output"

# The window sits in the top-left corner of an empty screen: keep only the window.
if command -v convert >/dev/null; then
    convert "$output" -trim +repage "$output"
fi
echo "$output"
