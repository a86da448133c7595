"""Runs the built psulan binary (natively, or the .exe under wine) for end-to-end tests.

The binary is taken from PSULAN_BIN; PSULAN_EMULATOR, when set, is the program
that runs it (wine64 for the Windows build). Every end-to-end test process runs
inside a private network namespace (see tests/netns-run), so the fakes and the
program meet on its loopback interface only.
"""
import os
import subprocess
import time
from dataclasses import dataclass

BIN = os.environ.get("PSULAN_BIN", "")
EMULATOR = os.environ.get("PSULAN_EMULATOR", "")
ON_WINDOWS_BUILD = BIN.lower().endswith(".exe")
# What the program ends each printed line with.
EOL = b"\r\n" if ON_WINDOWS_BUILD else b"\n"


@dataclass
class Run:
    code: int
    out: bytes
    seconds: float

    def lines(self):
        """Output split at the platform's line end; the last (empty) piece dropped."""
        parts = self.out.split(EOL)
        if parts and parts[-1] == b"":
            parts.pop()
        return parts


def command(args):
    prefix = [EMULATOR] if EMULATOR else []
    return prefix + [BIN] + list(args)


def run(args, stdin=b"", timeout=60, env=None):
    """Runs the program with args (a list of str or bytes); returns a Run."""
    environment = dict(os.environ)
    environment.setdefault("WINEDEBUG", "-all")
    if env:
        environment.update(env)
    start = time.monotonic()
    done = subprocess.run(command(args), input=stdin, stdout=subprocess.PIPE,
                          stderr=subprocess.DEVNULL, timeout=timeout, env=environment)
    return Run(done.returncode, done.stdout, time.monotonic() - start)


def start(args, env=None):
    """Starts the program and returns the Popen (stdout piped) for tests that stop it."""
    environment = dict(os.environ)
    environment.setdefault("WINEDEBUG", "-all")
    if env:
        environment.update(env)
    return subprocess.Popen(command(args), stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                            stderr=subprocess.DEVNULL, env=environment)


def in_private_namespace():
    """True when only the loopback interface exists here."""
    import socket
    return [name for _, name in socket.if_nameindex()] == ["lo"]
