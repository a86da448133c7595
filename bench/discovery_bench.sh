#!/bin/sh
# Builds psulan (Release) unless a binary is given, and runs the discovery
# benchmark inside a private network namespace.
# Usage: bench/discovery_bench.sh [PSULAN_BINARY] [RUNS]
set -e
root=$(cd "$(dirname "$0")/.." && pwd)
if [ $# -eq 0 ] || [ ! -x "$1" ]; then
  build=${BUILD_DIR:-$root/build-bench}
  cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DPSULAN_TESTS=OFF >/dev/null
  ninja -C "$build" -j2 psulan >/dev/null
  set -- "$build/psulan" "$@"
fi
# BENCH_SCRIPT: another benchmark of this folder run the same way.
exec "$root/tests/netns-run" python3 "$root/bench/${BENCH_SCRIPT:-discovery_bench.py}" "$@"
