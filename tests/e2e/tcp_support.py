"""Shared pieces of the TCP session end-to-end tests: the fake instrument, the
program run against it, and expected-output helpers written from the
documented formats (independent of the program's own code)."""
import os
import select
import signal
import socket
import time
import unittest

import psulan_run
from psulan_run import EOL, ON_WINDOWS_BUILD
from fake_instrument import FakeInstrument, Modbus, Raw, Reply, Scpi, Scripted  # noqa: F401  (re-exported)

# How much later than prescribed a wait may end: what a loaded 2-core machine
# adds (wine more). The waits themselves are checked to the millisecond or two
# (EARLY) that the program's millisecond clock may cut from them.
SLACK = 1.5 if ON_WINDOWS_BUILD else 1.0
EARLY = 0.002
# Environment for runs whose output depends on locale separators.
C_LOCALE = {"LC_ALL": "C", "LANG": "C"}
# Each switch with its values is followed by a 10 ms pause while parsing.
SWITCH_PAUSE = 0.010


REPORT = b"Local Addresses: "


def without_report(out):
    """Output without the local-address report that comes first when echo is on."""
    if out.startswith(REPORT):
        cut = out.find(EOL)
        return out[cut + len(EOL):] if cut >= 0 else b""
    return out


def psulan(args, timeout=60, env=None):
    """Runs the program; args are str or bytes. The local-address report (the
    driver's, with echo on) is left out of .out and kept in .full."""
    merged = dict(C_LOCALE)
    if env:
        merged.update(env)
    run = psulan_run.run(args, timeout=timeout, env=merged)
    run.full = run.out
    run.out = without_report(run.out)
    return run


def target(fake):
    return ["/ip", "127.0.0.1", "/tport", str(fake.port)]


def hex_list(data):
    return ("[" + " ".join("%02X" % b for b in data) + "]").encode()


def free_port():
    """A loopback TCP port where nothing listens."""
    probe = socket.socket()
    probe.bind(("127.0.0.1", 0))
    port = probe.getsockname()[1]
    probe.close()
    return port


def ended(fake, count=1, timeout=10.0):
    return fake.wait_connections(count, timeout)


class LineReader:
    """Reads whole output lines from a started process with a time limit."""

    def __init__(self, process):
        self.process = process
        self.buffer = b""
        self.eof = False
        self.started = False

    def _skip_report(self, deadline):
        """Drops the local-address report line if the output starts with it."""
        while len(self.buffer) < len(REPORT) and REPORT.startswith(self.buffer) and self._read(deadline):
            pass
        if not self.buffer.startswith(REPORT):
            return True
        while EOL not in self.buffer and self._read(deadline):
            pass
        if EOL in self.buffer:
            self.buffer = without_report(self.buffer)
            return True
        return False

    def _read(self, deadline):
        left = deadline - time.monotonic()
        if left <= 0 or self.eof:
            return False
        ready, _, _ = select.select([self.process.stdout], [], [], left)
        if not ready:
            return False
        chunk = os.read(self.process.stdout.fileno(), 65536)
        if not chunk:
            self.eof = True
            return False
        self.buffer += chunk
        return True

    def _fill(self, deadline):
        if not self.eof and not self.started:
            self.started = self._skip_report(deadline)
            return self.started
        return self._read(deadline)

    def lines(self, count, timeout):
        """The first count complete lines (without line end)."""
        deadline = time.monotonic() + timeout
        while self.buffer.count(EOL) < count:
            if not self._fill(deadline) and (self.eof or time.monotonic() >= deadline):
                raise AssertionError("only %d of %d lines: %r" % (self.buffer.count(EOL), count, self.buffer))
        parts = self.buffer.split(EOL)
        return parts[:count]

    def at_least(self, size, timeout):
        """The output so far once it holds size bytes."""
        deadline = time.monotonic() + timeout
        while len(self.buffer) < size:
            if not self._fill(deadline) and (self.eof or time.monotonic() >= deadline):
                raise AssertionError("only %d of %d bytes: %r" % (len(self.buffer), size, self.buffer))
        return self.buffer

    def rest(self, timeout):
        """Everything up to the end of output."""
        deadline = time.monotonic() + timeout
        while not self.eof and time.monotonic() < deadline:
            self._fill(deadline)
        return self.buffer


def stop(process, how=signal.SIGINT, timeout=10.0):
    """Stops a started program and returns its exit status."""
    process.send_signal(how)
    try:
        return process.wait(timeout)
    except Exception:
        process.kill()
        process.wait(5)
        raise


class FakeCase(unittest.TestCase):
    """A test case that stops every fake it started."""

    def serve(self, personality, **options):
        fake = FakeInstrument(personality, **options).start()
        self.addCleanup(fake.stop)
        return fake

    def assertDuration(self, seconds, expected, slack=None, label=""):
        slack = SLACK if slack is None else slack
        self.assertGreaterEqual(seconds, expected - EARLY, label)
        self.assertLessEqual(seconds, expected + slack, label)
