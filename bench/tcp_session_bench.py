#!/usr/bin/env python3
"""How much the TCP command run adds to the waits it prescribes, and what a
large reply costs in time and memory.

Usage: tcp_session_bench.py [PSULAN_BINARY]   (default: $PSULAN_BIN or build/psulan)
Run it inside a private network namespace (tcp_session_bench.sh does that):
everything talks to a simulated instrument on 127.0.0.1.

1. Overhead: median wall time of `/ip 127.0.0.1 /tport P /cmd *idn?` against a
   prompt instrument, minus the prescribed waits (10 ms after each of the 3
   switches, 10 ms before the first receive, the 50 ms quiet end of the reply
   and the 100 ms repeat delay). Limit: 5 ms.
2. Large replies of 4, 8 and 16 MiB: wall time, the least prescribed pauses
   (the waits above plus 5 ms after each piece of at most 64 KiB; the kernel
   often hands over smaller pieces, so there are more), the program's CPU
   time (the work beyond the pauses) and peak resident memory. Limits: CPU
   time per MiB about constant (linear), peak RSS under 2 x reply + 8 MiB.
3. /json: a 16 MiB reply holding every byte value (control bytes become
   six-character escapes), its peak resident memory in text output and under
   /json side by side. Limit: both under 2 x reply + 8 MiB.
"""
import os
import statistics
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "tests", "fakes"))
from fake_instrument import FakeInstrument, Reply, Scpi  # noqa: E402

MIB = 1 << 20
PRESCRIBED_S = (3 * 10 + 10 + 50 + 100) / 1000.0
PIECE = 65536
PIECE_PAUSE_S = 0.005
OVERHEAD_LIMIT_MS = 5.0


# The program is started by a small launcher process of its own: a child
# forked straight from this (large) process would count this process's
# resident pages in its peak RSS. The launcher times fork to exit and reads
# the peak from wait4.
LAUNCHER = """
import os, sys, time
start = time.monotonic()
pid = os.fork()
if pid == 0:
    try:
        os.execv(sys.argv[1], sys.argv[1:])
    finally:
        os._exit(127)
_, status, usage = os.wait4(pid, 0)
elapsed = time.monotonic() - start
sys.stderr.write("%.6f %d %d %.6f" % (elapsed, usage.ru_maxrss, os.waitstatus_to_exitcode(status),
                                      usage.ru_utime + usage.ru_stime))
"""


def run_once(binary, port, stdout=subprocess.DEVNULL, switches=()):
    """Runs one command; returns (seconds, peak RSS in KiB, exit status, CPU seconds)."""
    args = [binary] + list(switches) + ["/ip", "127.0.0.1", "/tport", str(port), "/cmd", "*idn?"]
    done = subprocess.run([sys.executable, "-S", "-c", LAUNCHER] + args, stdout=stdout,
                          stderr=subprocess.PIPE, env=dict(os.environ, LC_ALL="C"), check=True)
    seconds, rss_kib, code, cpu = done.stderr.split()
    return float(seconds), int(rss_kib), int(code), float(cpu)


def spawn_time(args):
    """Wall time from spawn to exit (posix_spawn: no copy of this process)."""
    with open(os.devnull, "wb") as null:
        start = time.monotonic()
        pid = os.posix_spawn(args[0], args, dict(os.environ, LC_ALL="C"),
                             file_actions=[(os.POSIX_SPAWN_DUP2, null.fileno(), 1),
                                           (os.POSIX_SPAWN_DUP2, null.fileno(), 2)])
        _, status = os.waitpid(pid, 0)
        seconds = time.monotonic() - start
    return seconds, os.waitstatus_to_exitcode(status)


def overhead(binary, runs=41):
    fake = FakeInstrument(Scpi({"*idn?": Reply.now(b"RI,PSU,1234,1.0\n")})).start()
    args = [binary, "/ip", "127.0.0.1", "/tport", str(fake.port), "/cmd", "*idn?"]
    try:
        spawn_time(args)  # warm the page cache
        times = []
        for _ in range(runs):
            seconds, code = spawn_time(args)
            if code != 0:
                raise SystemExit("run failed with exit code %d" % code)
            times.append(seconds)
    finally:
        fake.stop()
    start_ms = statistics.median(spawn_time(["/bin/true"])[0] * 1000 for _ in range(runs))
    extra_ms = [(t - PRESCRIBED_S) * 1000 for t in times]
    median = statistics.median(extra_ms)
    print("overhead: median %.2f ms, min %.2f ms, max %.2f ms beyond %.0f ms of prescribed waits (%d runs); "
          "starting and ending /bin/true alone takes %.2f ms here"
          % (median, min(extra_ms), max(extra_ms), PRESCRIBED_S * 1000, runs, start_ms))
    return median < OVERHEAD_LIMIT_MS


def large_replies(binary, sizes_mib=(4, 8, 16), repeats=5):
    ok = True
    per_mib = []
    for size_mib in sizes_mib:
        size = size_mib * MIB
        body = b"0123456789ABCDEF" * (size // 16)
        fake = FakeInstrument(Scpi({"*idn?": Reply.now(body + b"\n")})).start()
        del body
        try:
            results = []
            for _ in range(repeats):
                with tempfile.TemporaryFile() as out:
                    seconds, rss_kib, code, cpu = run_once(binary, fake.port, stdout=out)
                    written = out.seek(0, os.SEEK_END)
                results.append((seconds, rss_kib, code, written, cpu))
        finally:
            fake.stop()
        # The median run by time; the largest peak of all runs; the median CPU time.
        seconds, _, code, written, _ = sorted(results)[len(results) // 2]
        rss_kib = max(r[1] for r in results)
        cpu = statistics.median(r[4] for r in results)
        if code != 0 or written != size + len(os.linesep.encode()):
            print("  %d MiB: exit %d, %d bytes written" % (size_mib, code, written))
            ok = False
            continue
        floor = PRESCRIBED_S + (size // PIECE) * PIECE_PAUSE_S
        per_mib.append(cpu * 1000 / size_mib)
        limit_kib = (2 * size + 8 * MIB) // 1024
        print("  %2d MiB reply: %.3f s wall, of which at least %.3f s prescribed pauses (5 ms per piece of "
              "at most 64 KiB); CPU %.1f ms (%.2f ms per MiB); peak RSS %.1f MiB (limit %.1f MiB)"
              % (size_mib, seconds, floor, cpu * 1000, per_mib[-1], rss_kib / 1024, limit_kib / 1024))
        ok = ok and rss_kib < limit_kib
    # The work beyond the pauses is the program's CPU time: linear when each
    # MiB costs the same; a quadratic collection would double it per doubling.
    if len(per_mib) >= 2:
        ratio = per_mib[-1] / max(per_mib[0], 0.001)
        print("large replies: CPU per MiB %.2f .. %.2f ms, ratio largest/smallest reply %.2f "
              "(linear: about 1; quadratic: about %d)"
              % (min(per_mib), max(per_mib), ratio, sizes_mib[-1] // sizes_mib[0]))
        ok = ok and ratio < 1.5
    return ok


def json_memory(binary, size_mib=16, repeats=3):
    size = size_mib * MIB
    body = bytes(range(256)) * (size // 256)
    fake = FakeInstrument(Scpi({"*idn?": Reply.now(body + b"\n")})).start()
    del body
    limit_kib = (2 * size + 8 * MIB) // 1024
    peaks = {}
    try:
        for name, switches in (("text", ()), ("/json", ("/json",))):
            runs = []
            for _ in range(repeats):
                with tempfile.TemporaryFile() as out:
                    _, rss_kib, code, _ = run_once(binary, fake.port, stdout=out, switches=switches)
                    written = out.seek(0, os.SEEK_END)
                runs.append((rss_kib, code, written))
            peaks[name] = max(r[0] for r in runs)
            if any(r[1] != 0 for r in runs):
                print("  %s: exit %r" % (name, [r[1] for r in runs]))
                return False
            written = runs[0][2]
    finally:
        fake.stop()
    print("%d MiB reply of every byte value: peak RSS text %.1f MiB, /json %.1f MiB (limit %.1f MiB; "
          "the /json line is %.1f MiB)" % (size_mib, peaks["text"] / 1024, peaks["/json"] / 1024, limit_kib / 1024,
                                          written / MIB))
    return all(peak < limit_kib for peak in peaks.values())


def main():
    binary = sys.argv[1] if len(sys.argv) > 1 else os.environ.get("PSULAN_BIN",
                                                                   os.path.join(HERE, "..", "build", "psulan"))
    good = overhead(binary)
    good = large_replies(binary) and good
    good = json_memory(binary) and good
    print("PASS" if good else "FAIL")
    return 0 if good else 1


if __name__ == "__main__":
    sys.exit(main())
