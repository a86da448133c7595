#!/bin/sh
# Builds and runs the receive-latency benchmark on loopback. It prints the
# measured length of a 5 ms sleep and of a 50 ms receive time-out, with the
# system's default timer and with the program's timer setting (within 2 ms of
# the length), then the median delay between a datagram's arrival and the
# return of a waiting ReceiveWaiting (it should stay well under 1 ms).
# Usage: bench/receive_latency.sh [--win] [SAMPLES]
#   --win  cross-builds the Win64 program and runs it under wine.
set -e
root=$(cd "$(dirname "$0")/.." && pwd)
if [ "$1" = "--win" ]; then
  shift
  build=${BUILD_DIR:-$root/build-bench-win}
  cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DPSULAN_TESTS=OFF \
    -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64.cmake" >/dev/null
  ninja -C "$build" -j2 receive_latency >/dev/null
  # Wine makes a program's sockets in its server's network namespace: the
  # run gets a private namespace and a server of its own started inside it.
  WINEPREFIX=$build/wine-prefix exec "$root/tests/netns-run" "$root/scripts/wine-session" \
    /usr/lib/wine/wine64 "$build/bench/receive_latency.exe" "$@"
fi
build=${BUILD_DIR:-$root/build-bench}
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DPSULAN_TESTS=OFF >/dev/null
ninja -C "$build" -j2 receive_latency >/dev/null
exec "$build/bench/receive_latency" "$@"
