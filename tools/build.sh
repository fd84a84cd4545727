#!/usr/bin/env bash
# Configures and builds one flavour of Quorvel.
#   tools/build.sh [release|debug|asan] [extra cmake arguments...]
set -euo pipefail
cd "$(dirname "$0")/.."

flavour=${1:-release}
shift || true
case "$flavour" in
    release) args=(-DCMAKE_BUILD_TYPE=RelWithDebInfo) ;;
    debug) args=(-DCMAKE_BUILD_TYPE=Debug) ;;
    asan) args=(-DCMAKE_BUILD_TYPE=Debug -DQUORVEL_SANITIZE=ON -DQUORVEL_BENCH=OFF) ;;
    *) echo "unknown flavour: $flavour" >&2; exit 2 ;;
esac

dir=build/$flavour
cmake -S . -B "$dir" -G Ninja "${args[@]}" "$@" >/dev/null
cmake --build "$dir" --parallel "$(nproc)"
