#!/usr/bin/env bash
# Installs what is missing, builds Quorvel and starts it against the built-in
# instrument simulator. Extra arguments go to the program (for example --demo=ZQ3 /E /L).
set -euo pipefail
cd "$(dirname "$0")/.."

tools/install-deps.sh
tools/build.sh release

args=("$@")
[ ${#args[@]} -eq 0 ] && args=(--demo /E /L)

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    echo "No display found: starting Quorvel in a virtual display (xvfb-run)." >&2
    exec xvfb-run -a build/release/quorvel "${args[@]}"
fi
exec build/release/quorvel "${args[@]}"
