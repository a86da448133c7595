#!/bin/sh
# Runs the TCP session benchmark inside a private network namespace.
# Usage: bench/tcp_session_bench.sh [PSULAN_BINARY]
here=$(dirname "$0")
exec "$here/../tests/netns-run" python3 "$here/tcp_session_bench.py" "$@"
