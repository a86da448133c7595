#!/usr/bin/env python3
"""What the instrument search (/lxi) adds to its listening time.

Usage: lxi_bench.py [PSULAN_BINARY] [RUNS]   (default: $PSULAN_BIN or build-bench/psulan, 3)
Run it inside a private network namespace (lxi_bench.sh does that). The time
beyond the listening time is a run's wall time minus that of a run that finds
nothing (which listens just as long):
1. 50 VXI-11 instruments that answer at once (127.0.2.1 and on), all listed:
   limit 500 ms;
2. the same 50 answering each call 10 ms late, as instruments on a LAN do
   (their identities are asked at once): limit 300 ms;
3. one dead instrument (its TCP ports never answer): limit 1000 ms;
4. ten dead instruments (asked at once, each with its own 900 ms):
   limit 1200 ms in all.
"""
import os
import socket
import statistics
import struct
import subprocess
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "tests", "fakes"))
from fake_lxi import FakeLxi, Instrument  # noqa: E402


def numbered(count, first="127.0.2.1", **options):
    start = struct.unpack(">I", socket.inet_aton(first))[0]
    return [Instrument(socket.inet_ntoa(struct.pack(">I", start + n)), idn=b"Maker,Model,SN%04d,1.0" % n,
                       vxi11_port=1024, **options) for n in range(count)]


def wall(binary, expected_blocks):
    start = time.monotonic()
    out = subprocess.run([binary, "/lxi"], stdout=subprocess.PIPE, check=True).stdout
    seconds = time.monotonic() - start
    if out.count(b"LXI Instrument: ") != expected_blocks:
        sys.exit("expected %d instruments listed:\n%s" % (expected_blocks, out.decode("latin-1")))
    return seconds


def main():
    binary = sys.argv[1] if len(sys.argv) > 1 else os.environ.get("PSULAN_BIN", os.path.join(HERE, "..", "build-bench", "psulan"))
    runs = int(sys.argv[2]) if len(sys.argv) > 2 else 3
    subprocess.run("ip link set lo multicast on && ip route replace 224.0.0.0/4 dev lo", shell=True, check=True)
    base = statistics.median(wall(binary, 0) for _ in range(runs))
    failed = False
    for label, instruments, limit in (("50 prompt instruments", numbered(50), 0.5),
                                      ("50 at 10 ms per call", numbered(50, call_delay=0.010), 0.3),
                                      ("1 dead instrument", numbered(1, "127.0.2.200", dead=True), 1.0),
                                      ("10 dead instruments", numbered(10, "127.0.2.200", dead=True), 1.2)):
        with FakeLxi(instruments):
            beyond = statistics.median(wall(binary, len(instruments)) for _ in range(runs)) - base
        failed |= beyond >= limit
        print("%-24s %6.0f ms beyond the listening time (limit %4.0f ms)%s"
              % (label, beyond * 1000, limit * 1000, "  OVER" if beyond >= limit else ""))
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
