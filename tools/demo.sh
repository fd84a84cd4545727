#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs what is missing, builds the two programs the demo needs (quorvel and vantplot,
# without the tests, benchmarks and other programs) and starts Quorvel against the
# built-in instrument simulator as soon as it is built, with vantplot still building.
# Extra arguments go to the program (for example --demo=ZQ3 /E /L).
set -euo pipefail
cd "$(dirname "$0")/.."

tools/install-deps.sh

dir=build/release
# The build folder tools/build.sh and tools/test.sh use, configured as they do it, so
# that a later full build goes on from here.
if [ ! -f "$dir/build.ninja" ]; then
    cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=Release \
        "-DCMAKE_CXX_FLAGS_RELEASE=-O2 -DNDEBUG" >/dev/null
fi
# Quorvel first, so that its window comes as soon as it can; vantplot, which shows a
# downloaded file, is built behind it (its log in build/release/vantplot-build.log).
cmake --build "$dir" --parallel "$(nproc)" --target quorvel
nice cmake --build "$dir" --parallel "$(nproc)" --target vantplot >"$dir/vantplot-build.log" 2>&1 &

args=("$@")
[ ${#args[@]} -eq 0 ] && args=(--demo /E /L)

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
    echo "No display found: starting Quorvel in a virtual display (xvfb-run)." >&2
    exec xvfb-run -a "$dir/quorvel" "${args[@]}"
fi
exec "$dir/quorvel" "${args[@]}"
