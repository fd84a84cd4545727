#!/usr/bin/env bash
# Installs what is missing, then builds and runs every test twice: in a normal build
# with warnings as errors, and in a build with the address and undefined-behaviour
# sanitizers.
set -euo pipefail
cd "$(dirname "$0")/.."

tools/install-deps.sh

tools/build.sh release -DQUORVEL_WERROR=ON
(cd build/release && ctest --output-on-failure --parallel "$(nproc)")

tools/build.sh asan -DQUORVEL_WERROR=ON
(cd build/asan && ctest --output-on-failure --parallel "$(nproc)")
