# SPDX-License-Identifier: GPL-3.0-or-later
# Shared by the screenshot scripts: source it, then call the functions below.

# Stops with a message when one of the tools the screenshots need is missing.
require_screenshot_tools() {
    for tool in xvfb-run xdotool import; do
        if ! command -v "$tool" >/dev/null; then
            echo "screenshot: $tool is missing (apt-get install xvfb xdotool imagemagick)" >&2
            exit 1
        fi
    done
}

# Checks the tools, makes room for the picture at OUTPUT and a scratch folder in $work
# (removed on exit).
prepare_screenshot() {
    require_screenshot_tools
    mkdir -p "$(dirname "$1")"
    rm -f "$1"
    work="$(mktemp -d)"
    trap 'rm -rf "$work"' EXIT
}

# Inside the virtual display: gives the keyboard to the window named (without a window
# manager nothing takes it by itself), and presses keys with time to react.
focus() { xdotool search --sync --onlyvisible --name "^$1\$" windowfocus --sync; }
key() { xdotool key --clearmodifiers "$@"; sleep 0.8; }

# Inside the virtual display: starts "PROGRAM --demo /L" (its pid in $demo_pid), opens
# Logging > Built-in Logger, clicks Download, accepts the choice offered and names the
# file FOLDER/demo data.txt (a full path with a blank in it); returns as the transfer
# starts.
start_demo_download() {
    "$1" --demo /L &
    demo_pid=$!
    sleep 5
    focus Quorvel
    key alt+l
    key b
    # The logger window reads the logger first.
    sleep 3
    focus Logger
    key alt+d
    focus "Download logger data"
    key Return
    focus "Save Dataset as"
    xdotool type --delay 20 "$2/demo data.txt"
    sleep 0.5
    # The demo line carries a block as soon as it is asked for: the transfer is short.
    xdotool key --clearmodifiers Return
}
