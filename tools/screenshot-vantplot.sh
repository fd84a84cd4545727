#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Takes screenshots of Vantplot for a human look, at 800x600 and 1920x1080 and at 800x600
# with QT_SCALE_FACTOR=2: writes two week-long datasets (the second in umol.m-2.s-1, so
# that two value axes and two sun bands show) with vantplot_bench, opens them in a virtual
# X display, fills the window to the screen, moves the cursor over the plot and grabs
# screenshots/vantplot-WxH.png (and vantplot-800x600-scale2.png). Builds nothing: give
# the build folder as the first argument (build/release by default, with vantplot and
# bench/vantplot_bench built). Needs xvfb-run, xdotool and ImageMagick.
#
#   tools/screenshot-vantplot.sh [BUILD-FOLDER]
set -euo pipefail
cd "$(dirname "$0")/.."

build="${1:-build/release}"
program="$build/vantplot"
bench="$build/bench/vantplot_bench"
source tools/lib/screenshot-demo.sh
if [ ! -x "$program" ] || [ ! -x "$bench" ]; then
    echo "screenshot: $program or $bench not found; build them first" >&2
    exit 1
fi
prepare_screenshot screenshots/vantplot-800x600.png
"$bench" --days 7 --write "$work/week in W.txt" >/dev/null
sed 's/Units: W.m-2/Units: umol.m-2.s-1/' "$work/week in W.txt" >"$work/week in umol.txt"

# shoot WIDTH HEIGHT SCALE OUTPUT
shoot() {
    rm -f "$4"
    xvfb-run -a -s "-screen 0 $(($1 * $3))x$(($2 * $3))x24" env QT_SCALE_FACTOR="$3" bash -c '
        set -u
        "$1" "$2" "$3" &
        plot_pid=$!
        window=""
        for _ in $(seq 30); do
            window="$(xdotool search --onlyvisible --name "Vantplot\$" | head -n 1)"
            [ -n "$window" ] && break
            sleep 1
        done
        status=1
        if [ -n "$window" ]; then
            xdotool windowmove "$window" 0 0 windowsize "$window" "$4" "$5"
            sleep 3
            # The cursor over the plot fills the read-out in the status bar.
            xdotool mousemove $(($4 / 2)) $(($5 / 3))
            sleep 1
            import -window root "$6" && status=0
        else
            echo "screenshot: no Vantplot window" >&2
        fi
        kill "$plot_pid" 2>/dev/null
        wait "$plot_pid" 2>/dev/null || true
        exit "$status"
    ' shoot "$(realpath "$program")" "$work/week in W.txt" "$work/week in umol.txt" \
        "$(($1 * $3))" "$(($2 * $3))" "$4"
    echo "$4"
}

shoot 800 600 1 screenshots/vantplot-800x600.png
shoot 1920 1080 1 screenshots/vantplot-1920x1080.png
shoot 800 600 2 screenshots/vantplot-800x600-scale2.png
