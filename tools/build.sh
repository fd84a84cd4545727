#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Configures and builds one flavour of Quorvel.
#   tools/build.sh [release|debug|asan] [extra cmake arguments...]
set -euo pipefail
cd "$(dirname "$0")/.."

flavour=${1:-release}
shift || true
case "$flavour" in
    # No debug information in the release build: it is most of the compile time.
    release) args=(-DCMAKE_BUILD_TYPE=Release "-DCMAKE_CXX_FLAGS_RELEASE=-O2 -DNDEBUG") ;;
    debug) args=(-DCMAKE_BUILD_TYPE=Debug) ;;
    # Line numbers are enough for the sanitizers' reports.
    asan) args=(-DCMAKE_BUILD_TYPE=Debug "-DCMAKE_CXX_FLAGS_DEBUG=-O1 -g1" -DQUORVEL_SANITIZE=ON -DQUORVEL_BENCH=OFF) ;;
    *) echo "unknown flavour: $flavour" >&2; exit 2 ;;
esac

dir=build/$flavour
cmake -S . -B "$dir" -G Ninja "${args[@]}" "$@" >/dev/null
cmake --build "$dir" --parallel "$(nproc)"
