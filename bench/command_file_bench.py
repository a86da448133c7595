#!/usr/bin/env python3
"""Command files over TCP: how fast the lines go out, and what a large file
costs in memory.

Usage: command_file_bench.py [PSULAN_BINARY]   (default: $PSULAN_BIN or build/psulan)
Run it inside a private network namespace (command_file_bench.sh does that):
the program talks to a simulated instrument on 127.0.0.1 that reads at once.

1. Lines per second: text files of 10 000, 20 000 and 40 000 command lines
   (no "?", so no reply is read) sent with /waitl 0. The time per line is the
   run time beyond that of a one-line file, divided by the further lines;
   linear when it is about the same for all three (limit: largest/smallest
   below 1.5).
2. Peak resident memory (ru_maxrss of the program alone) for files of 1 MiB
   and 100 MiB of commands: flat in the file size, under 8 MiB.
"""
import os
import socket
import statistics
import subprocess
import sys
import tempfile
import threading

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
from tcp_session_bench import LAUNCHER  # noqa: E402  (runs the program, reports time and peak memory)

MIB = 1 << 20
LINE_COUNTS = (10000, 20000, 40000)
RSS_LIMIT_KIB = 8 * 1024
LINEAR_LIMIT = 1.5


class Sink:
    """A prompt instrument: accepts connections and reads every byte at once,
    counting them, and never answers."""

    def __init__(self):
        self.listener = socket.socket()
        self.listener.bind(("127.0.0.1", 0))
        self.listener.listen(8)
        self.port = self.listener.getsockname()[1]
        self.received = []  # bytes per connection, once it has ended
        self.done = threading.Semaphore(0)
        threading.Thread(target=self._accept, daemon=True).start()

    def _accept(self):
        while True:
            try:
                connection, _ = self.listener.accept()
            except OSError:
                return
            threading.Thread(target=self._drain, args=(connection,), daemon=True).start()

    def _drain(self, connection):
        total = 0
        with connection:
            while True:
                data = connection.recv(MIB)
                if not data:
                    break
                total += len(data)
        self.received.append(total)
        self.done.release()

    def wait(self):
        if not self.done.acquire(timeout=60):
            raise SystemExit("the instrument saw no end of the connection")
        return self.received[-1]


def write_file(directory, name, line_count=None, size=None):
    """A file of command lines such as "SOUR:VOLT 00012.125;CURR 00012.5"
    (LF ends): line_count lines, or at least size bytes. Returns (path, size)."""
    path = os.path.join(directory, name)
    block = b"".join(b"SOUR:VOLT %05d.125;CURR %05d.5\n" % (i, i) for i in range(1000))
    with open(path, "wb") as out:
        if line_count is not None:
            full, rest = divmod(line_count, 1000)
            out.write(block * full)
            out.write(b"".join(block.splitlines(keepends=True)[:rest]))
        else:
            while out.tell() < size:
                out.write(block)
        return path, out.tell()


def run(binary, sink, path):
    """One file session: (seconds, peak RSS in KiB, CPU seconds)."""
    args = [binary, "/ip", "127.0.0.1", "/tport", str(sink.port), "/waitl", "0", "/cfl", path]
    done = subprocess.run([sys.executable, "-S", "-c", LAUNCHER] + args, stdout=subprocess.DEVNULL,
                          stderr=subprocess.PIPE, env=dict(os.environ, LC_ALL="C"), check=True)
    seconds, rss_kib, code, cpu = done.stderr.split()
    if int(code) != 0:
        raise SystemExit("run failed with exit code %s" % code)
    received = sink.wait()
    if received != os.path.getsize(path):
        raise SystemExit("the instrument received %d of %d bytes" % (received, os.path.getsize(path)))
    return float(seconds), int(rss_kib), float(cpu)


def median_run(binary, sink, path, repeats):
    results = [run(binary, sink, path) for _ in range(repeats)]
    return (statistics.median(r[0] for r in results), max(r[1] for r in results),
            statistics.median(r[2] for r in results))


def lines_per_second(binary, sink, directory, repeats=5):
    one, _ = write_file(directory, "one.txt", line_count=1)
    base, _, _ = median_run(binary, sink, one, repeats)
    per_line_us = []
    for count in LINE_COUNTS:
        path, size = write_file(directory, "lines%d.txt" % count, line_count=count)
        seconds, _, cpu = median_run(binary, sink, path, repeats)
        per_line_us.append((seconds - base) * 1e6 / (count - 1))
        print("  %6d lines (%.2f MiB): %.3f s, %.3f s beyond a one-line file, %.2f us per line, CPU %.3f s"
              % (count, size / MIB, seconds, seconds - base, per_line_us[-1], cpu))
    rate = 1e6 / per_line_us[0]
    ratio = max(per_line_us) / max(min(per_line_us), 0.001)
    print("lines per second (%d lines, /waitl 0): %.0f; time per line largest/smallest %.2f "
          "(linear: about 1, limit %.1f)" % (LINE_COUNTS[0], rate, ratio, LINEAR_LIMIT))
    return ratio < LINEAR_LIMIT


def peak_memory(binary, sink, directory):
    ok = True
    for size_mib in (1, 100):
        path, size = write_file(directory, "size%d.txt" % size_mib, size=size_mib * MIB)
        seconds, rss_kib, cpu = median_run(binary, sink, path, 1)
        print("  %6.1f MiB file: %.3f s, CPU %.3f s, peak RSS %.2f MiB (limit %.0f MiB)"
              % (size / MIB, seconds, cpu, rss_kib / 1024, RSS_LIMIT_KIB / 1024))
        ok = ok and rss_kib < RSS_LIMIT_KIB
        os.unlink(path)
    return ok


def main():
    binary = sys.argv[1] if len(sys.argv) > 1 else os.environ.get("PSULAN_BIN",
                                                                   os.path.join(HERE, "..", "build", "psulan"))
    sink = Sink()
    with tempfile.TemporaryDirectory(prefix="psulan-bench-") as directory:
        print("command files, lines sent:")
        good = lines_per_second(binary, sink, directory)
        print("command files, memory:")
        good = peak_memory(binary, sink, directory) and good
    print("PASS" if good else "FAIL")
    return 0 if good else 1


if __name__ == "__main__":
    sys.exit(main())
