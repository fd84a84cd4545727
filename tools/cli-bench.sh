#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# quorvel-cli against quorvel-sim on a pseudo-terminal, as a station runs it:
#  - logger download of a 256-block memory at 9600 baud with 30 ms per block request:
#    the transfer's share of the line's limit (523 bytes of 11 bits per block);
#  - log at a 1 s period for 60 s: the processor time quorvel-cli takes.
# Usage: tools/cli-bench.sh [BUILD_DIR]   (default build/release)
set -euo pipefail
build=${1:-build/release}
work=$(mktemp -d)
sims=()
trap 'for p in "${sims[@]}"; do kill "$p" 2>/dev/null || true; done; rm -rf "$work"' EXIT

simulator() { # prints the device of a new simulator started with the given options
    "$build/quorvel-sim" "$@" --no-stdin > "$work/sim$#.out" 2>&1 &
    sims+=($!)
    for _ in $(seq 50); do
        [ -s "$work/sim$#.out" ] && break
        sleep 0.1
    done
    head -1 "$work/sim$#.out"
}

device=$(simulator --model ZQ5 --pace --block-latency-ms 30 --memory-blocks 256 \
    --prefill-records 25600)
TIMEFORMAT='%U %S %R'
{ time "$build/quorvel-cli" logger download --from all --device "$device" \
    --output "$work/dataset.txt" -v 2> "$work/download.err"; } 2> "$work/time"
seconds=$(sed -n 's/^256 blocks in \([0-9.]*\) s$/\1/p' "$work/download.err")
read -r user sys wall < "$work/time"
awk -v s="$seconds" -v u="$user" -v k="$sys" -v w="$wall" 'BEGIN {
    limit = 256 * 523 * 11 / 9600
    share = 100 * limit / s
    printf "cli download: 256 blocks in %.2f s, line limit %.2f s = %.1f%% of the limit " \
           "(target 99%%), %.2f%% of a core: %s\n", s, limit, share, 100 * (u + k) / w,
           (share >= 99 ? "PASS" : "FAIL")
}'

device=$(simulator --model ZQ5)
{ time "$build/quorvel-cli" log --log-period 1s --duration 60s --device "$device" \
    --output "$work/log.txt" -q > /dev/null; } 2> "$work/time"
read -r user sys wall < "$work/time"
awk -v u="$user" -v k="$sys" -v w="$wall" 'BEGIN {
    core = 100 * (u + k) / w
    printf "cli log at 1 s: %.2f s of processor in %.1f s = %.2f%% of a core (target 0.5%%): %s\n",
           u + k, w, core, (core < 0.5 ? "PASS" : "FAIL")
}'
