#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs what is missing, checks the formatting, then builds and runs every test
# twice: in a normal build with warnings as errors, and in a build with the address and
# undefined-behaviour sanitizers (leak detection on). Ends with the share of test code.
set -euo pipefail
cd "$(dirname "$0")/.."

tools/install-deps.sh
tools/check-format.sh
tools/check-spdx.sh

tools/build.sh release -DQUORVEL_WERROR=ON
(cd build/release && ctest --output-on-failure --parallel "$(nproc)")

tools/build.sh asan -DQUORVEL_WERROR=ON
(cd build/asan && ctest --output-on-failure --parallel "$(nproc)")

tools/test-budget.sh
