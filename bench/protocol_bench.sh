#!/bin/sh
# Builds psulan (Release) unless a binary is given, and runs the protocol
# benchmark inside a private network namespace, as bench/discovery_bench.sh
# does for discovery.
# Usage: bench/protocol_bench.sh [PSULAN_BINARY] [RUNS]
BENCH_SCRIPT=protocol_bench.py exec "$(dirname "$0")/discovery_bench.sh" "$@"
