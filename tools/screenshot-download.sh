#!/usr/bin/env bash
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

for tool in xvfb-run xdotool import; do
    if ! command -v "$tool" >/dev/null; then
        echo "screenshot: $tool is missing (apt-get install xvfb xdotool imagemagick)" >&2
        exit 1
    fi
done
if [ ! -x "$program" ]; then
    echo "screenshot: $program not found; build it first (tools/build.sh release)" >&2
    exit 1
fi

mkdir -p screenshots
rm -f "$output"
program="$(realpath "$program")"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

xvfb-run -a -s "-screen 0 1024x768x24" bash -c '
    set -u
    "$1" --demo /L &
    pid=$!
    # Without a window manager nothing takes the keyboard by itself: give it to the
    # window named before each step.
    focus() { xdotool search --sync --onlyvisible --name "^$1\$" windowfocus --sync; }
    key() { xdotool key --clearmodifiers "$@"; sleep 0.8; }
    sleep 5
    # Logging > Built-in Logger; the logger window reads the logger first.
    focus Quorvel
    key alt+l
    key b
    sleep 3
    # Download, then OK on the choice offered.
    focus Logger
    key alt+d
    focus "Download logger data"
    key Return
    # The save dialog: a full path with a blank in it.
    focus "Save Dataset as"
    xdotool type --delay 20 "$3/demo data.txt"
    sleep 0.5
    # The demo line carries a block as soon as it is asked for: the transfer is short.
    xdotool key --clearmodifiers Return
    sleep "$2"
    import -window root "$4"
    kill "$pid" 2>/dev/null
    wait "$pid" 2>/dev/null || true
' screenshot "$program" "$into_transfer" "$work" "$output"

if command -v convert >/dev/null; then
    convert "$output" -trim +repage "$output"
fi
echo "$output"
