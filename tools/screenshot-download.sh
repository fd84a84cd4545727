#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Takes a screenshot of the download dialog during a transfer, for a human look: runs
# "quorvel --demo /L" in a virtual X display, opens Logging > Built-in Logger, clicks
# Download, accepts the choice, names a file and grabs the screen while the blocks come
# in, into screenshots/download.png. Builds nothing: give the program as the first
# argument, or build build/release/quorvel first. Needs xvfb-run, xdotool and ImageMagick.
#
#   tools/screenshot-download.sh [PROGRAM] [SECONDS-INTO-THE-TRANSFER]
set -euo pipefail
cd "$(dirname "$0")/.."

program="${1:-build/release/quorvel}"
into_transfer="${2:-0.2}"
output="screenshots/download.png"

source tools/lib/screenshot-demo.sh
if [ ! -x "$program" ]; then
    echo "screenshot: $program not found; build it first (tools/build.sh release)" >&2
    exit 1
fi

prepare_screenshot "$output"
program="$(realpath "$program")"

xvfb-run -a -s "-screen 0 1024x768x24" bash -c '
    set -u
    source tools/lib/screenshot-demo.sh
    start_demo_download "$1" "$3"
    sleep "$2"
    import -window root "$4"
    kill "$demo_pid" 2>/dev/null
    wait "$demo_pid" 2>/dev/null || true
' screenshot "$program" "$into_transfer" "$work" "$output"

if command -v convert >/dev/null; then
    convert "$output" -trim +repage "$output"
fi
echo "$output"
