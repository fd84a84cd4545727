#!/usr/bin/env bash
# Takes a screenshot of Vantplot showing a freshly downloaded dataset, for a human look:
# runs "quorvel --demo /L" in a virtual X display, downloads the demo logger's data into
# a file (as tools/screenshot-download.sh does), waits for the download to start the
# graphing program from quorvel's own folder and grabs its window into
# screenshots/vantplot.png. Fails when no Vantplot window comes up, which is also what
# shows that the download found vantplot beside quorvel. Builds nothing: give the
# program as the first argument, or build build/release/quorvel and vantplot first.
# Needs xvfb-run, xdotool and ImageMagick.
#
#   tools/screenshot-vantplot.sh [PROGRAM] [SECONDS-TO-WAIT-FOR-THE-DOWNLOAD]
set -euo pipefail
cd "$(dirname "$0")/.."

program="${1:-build/release/quorvel}"
wait_seconds="${2:-240}"
output="screenshots/vantplot.png"

source tools/lib/screenshot-demo.sh
if [ ! -x "$program" ] || [ ! -x "$(dirname "$program")/vantplot" ]; then
    echo "screenshot: $program or vantplot beside it not found; build them first" >&2
    exit 1
fi

prepare_screenshot "$output"
program="$(realpath "$program")"

xvfb-run -a -s "-screen 0 1280x800x24" bash -c '
    set -u
    source tools/lib/screenshot-demo.sh
    start_demo_download "$1" "$3"
    # The download ends by starting the graphing program with the file.
    plot=""
    for _ in $(seq "$2"); do
        plot="$(xdotool search --onlyvisible --name "Vantplot\$" | head -n 1)"
        [ -n "$plot" ] && break
        sleep 1
    done
    status=1
    if [ -n "$plot" ]; then
        sleep 3
        xdotool windowmove "$plot" 0 0 windowsize "$plot" 1280 800
        sleep 2
        # The cursor over the plot fills the read-out in the status bar.
        xdotool mousemove 420 300
        sleep 1
        import -window root "$4" && status=0
        plot_pid="$(xdotool getwindowpid "$plot" 2>/dev/null || true)"
        [ -n "$plot_pid" ] && kill "$plot_pid" 2>/dev/null
    else
        echo "screenshot: no Vantplot window after the download" >&2
    fi
    kill "$demo_pid" 2>/dev/null
    wait "$demo_pid" 2>/dev/null || true
    exit "$status"
' screenshot "$program" "$wait_seconds" "$work" "$output"

echo "$output"
