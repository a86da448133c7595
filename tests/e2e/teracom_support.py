"""Shared pieces of the Teracom discovery end-to-end tests: simulated modules,
runs of the program that note when each output line arrived, and several runs
at once.

Runs that go on at the same time each get a UDP port of their own: the fake
listens on it and the program is told to use it for both its source and its
destination port (/sport and /cport after /terac), just as /terac alone uses
30303 for both. A run on 30303 itself needs no switches."""
import concurrent.futures
import os
import select
import time
import unittest
from dataclasses import dataclass

import psulan_run
from psulan_run import EOL, ON_WINDOWS_BUILD
from timing import keep_schedule, normal_schedule
from fake_teracom import PORT, FakeTeracom, Module, reply_text, spaced  # noqa: F401  (re-exported)

# Timing tolerances: a wait may end what a loaded 2-core machine adds later
# than prescribed (wine more), and no more than the program's millisecond
# clock cuts from it earlier.
SLACK = 1.5 if ON_WINDOWS_BUILD else 1.0
EARLY = 0.002
# The silence that ends the replies of one source address, and the pause
# after each reply taken.
SILENCE = 2.000
PAUSE = 0.100

NOT_FOUND = b" No TERACOM device found."


def settings_line(port):
    """The /v settings line of a run with both UDP ports set to port."""
    return b" IP: 0.0.0.0   Mask: 0.0.0.0   Gateway: 0.0.0.0   MAC:    Ports: %d %d 8462" % (port, port)


def port_switches(port):
    return [] if port == PORT else ["/sport", str(port), "/cport", str(port)]


@dataclass
class TimedRun:
    code: int
    lines: list      # (arrival time, line without its line end)
    ended: float     # time.monotonic() when the process had ended

    def texts(self):
        return [line for _, line in self.lines]

    def at(self, text, nth=0):
        """Arrival time of the nth line that equals text (or starts with it
        when text ends with a blank or a colon)."""
        found = [t for t, line in self.lines
                 if line == text or (text[-1:] in (b" ", b":") and line.startswith(text))]
        if len(found) <= nth:
            raise AssertionError("no line %r (#%d) in %r" % (text, nth, self.texts()))
        return found[nth]


def run_timed(args, timeout=120):
    """Runs the program and notes when each line of its output arrived. The
    reading thread runs real-time, so that it notes each line when it comes."""
    kept = keep_schedule()
    process = psulan_run.start(args)
    fd = process.stdout.fileno()
    deadline = time.monotonic() + timeout
    buffer, lines = b"", []
    try:
        while True:
            left = deadline - time.monotonic()
            if left <= 0:
                raise AssertionError("still running after %d s: %r" % (timeout, args))
            ready, _, _ = select.select([fd], [], [], left)
            if not ready:
                continue
            chunk = os.read(fd, 1 << 20)
            now = time.monotonic()
            if not chunk:
                break
            buffer += chunk
            *complete, buffer = buffer.split(EOL)
            lines.extend((now, line) for line in complete)
        code = process.wait(timeout=max(1.0, deadline - time.monotonic()))
    finally:
        if process.poll() is None:
            process.kill()
            process.wait()
        process.stdout.close()
        normal_schedule(kept)
    ended = time.monotonic()
    if buffer:
        lines.append((ended, buffer))  # output without a final line end: shows in the comparison
    return TimedRun(code, lines, ended)


def run_all(arg_lists):
    """Runs the program once per argument list, all at the same time."""
    with concurrent.futures.ThreadPoolExecutor(max_workers=len(arg_lists)) as pool:
        return list(pool.map(run_timed, arg_lists))


class TeracomCase(unittest.TestCase):
    """A test case whose fakes stop at the end of its class. Runs that take
    seconds of waiting go on together in setUpClass; the tests then check
    their outcomes."""

    maxDiff = None

    @classmethod
    def serve(cls, modules=(), port=0):
        fake = FakeTeracom(modules, port=port).start()
        cls.addClassCleanup(fake.stop)
        return fake

    def assertWithin(self, seconds, expected, label=""):
        """seconds is expected, or later by less than the tolerance."""
        self.assertGreaterEqual(seconds, expected - EARLY, label)
        self.assertLessEqual(seconds, expected + SLACK, label)
