#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Prints the share of test code: non-blank, non-comment lines of C++ in tests/ against
# those in every other tracked folder. Fails when the share is above the budget.
#   tools/test-budget.sh [MAX_PERCENT]   (default 35)
set -u
cd "$(dirname "$0")/.."
max=${1:-35}
count() { xargs -r cat | grep -c -v -E '^\s*(//.*|/?\*.*|\*/)?$'; }
files=$(git ls-files | grep -E '\.(cpp|cc|cxx|h|hpp)$')
tests=$(echo "$files" | grep -E '^tests/' | count)
code=$(echo "$files" | grep -v -E '^tests/' | count)
pct=$((100 * tests / code))
echo "test budget: tests ${tests} lines, code ${code} lines: ${pct} % (budget ${max} %)"
[ "$pct" -le "$max" ]
