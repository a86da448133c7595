#!/bin/sh
# Runs the command-file benchmark inside a private network namespace.
# Usage: bench/command_file_bench.sh [PSULAN_BINARY]
here=$(dirname "$0")
exec "$here/../tests/netns-run" python3 "$here/command_file_bench.py" "$@"
