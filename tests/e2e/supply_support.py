"""Shared pieces of the discovery and configuration end-to-end tests: the private
network namespace they need, simulated supplies, a second host behind a veth
pair, and the program run against them.

Discovery and configuration runs broadcast. Importing this module makes sure the
test process is in a private network namespace with only the loopback interface
up: natively it re-executes the test under `unshare -n` when it is not; under
wine (whose server must be started inside the namespace, see
scripts/wine-session) it refuses to run.
"""
import ctypes
import os
import subprocess
import sys
import threading
import time
import unittest

import psulan_run
from psulan_run import EOL, ON_WINDOWS_BUILD
# psulan(args): .out without the local-address report, .full with it.
from tcp_support import psulan  # noqa: F401  (re-exported)
from fake_supply import FakeSupplies, Supply, numbered, QUERY, REQUERY  # noqa: F401  (re-exported)

_REEXEC_MARK = "PSULAN_E2E_IN_PRIVATE_NETNS"


def _ensure_private_namespace():
    if psulan_run.in_private_namespace():
        return
    if os.environ.get(_REEXEC_MARK) or psulan_run.EMULATOR:
        sys.exit("refusing to run discovery or configuration outside a private network namespace "
                 "(run through tests/netns-run)")
    os.environ[_REEXEC_MARK] = "1"
    os.execvp("unshare", ["unshare", "-n", "sh", "-c", 'ip link set lo up && exec "$0" "$@"'] + sys.orig_argv)


_ensure_private_namespace()

# Timing tolerances: wine adds start-up and scheduling jitter, and the Windows
# millisecond clock (GetTickCount64) moves in steps of up to 16 ms, so a wait
# measured by it can end that much early.
SLACK = 0.40 if ON_WINDOWS_BUILD else 0.12
EARLY = 0.016 if ON_WINDOWS_BUILD else 0.005
LISTEN_S = 2.001
AFTER_QUERY_S = 0.050


def lines_of(*lines):
    """Expected output: each line followed by the program's line end."""
    return b"".join(line + EOL for line in lines)


class SupplyCase(unittest.TestCase):
    """A test case that stops every simulated supply it started."""

    def supplies(self, supplies, **options):
        fake = FakeSupplies(supplies, **options).start()
        self.addCleanup(fake.stop)
        return fake

    def assertDuration(self, seconds, expected, slack=None, label=""):
        slack = SLACK if slack is None else slack
        self.assertGreaterEqual(seconds, expected - EARLY, label)
        self.assertLessEqual(seconds, expected + slack, label)


# ---------------------------------------------------------------- a second host

_CLONE_NEWNET = 0x40000000
_libc = ctypes.CDLL(None, use_errno=True)


def _sh(command):
    subprocess.run(command, shell=True, check=True, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)


class FarHost:
    """A second network namespace joined to this one by a veth pair: here `va`
    with near_addresses, there `vb` with far_addresses (prefix /24). Objects whose
    sockets are made by far(...) live over there."""

    def __init__(self, near_addresses, far_addresses):
        self.holder = subprocess.Popen(["unshare", "-n", "sleep", "3600"])
        try:
            self._wait_for_own_namespace()
            _sh("ip link add va type veth peer name vb netns %d" % self.holder.pid)
            for address in near_addresses:
                _sh("ip addr add %s/24 dev va" % address)
            _sh("ip link set va up")
            far = " && ".join(["ip link set lo up"] + ["ip addr add %s/24 dev vb" % a for a in far_addresses]
                              + ["ip link set vb up"])
            _sh("nsenter -t %d -n sh -c '%s'" % (self.holder.pid, far))
            self._wait_until_link_up()
        except Exception:
            self.close()
            raise

    def _wait_for_own_namespace(self):
        mine = os.readlink("/proc/self/ns/net")
        deadline = time.monotonic() + 5
        while time.monotonic() < deadline:
            try:
                if os.readlink("/proc/%d/ns/net" % self.holder.pid) != mine:
                    return
            except OSError:
                pass
            time.sleep(0.01)
        raise RuntimeError("the far namespace did not appear")

    def _wait_until_link_up(self):
        deadline = time.monotonic() + 5
        while time.monotonic() < deadline:
            state = subprocess.run(["ip", "-o", "link", "show", "va"], capture_output=True, text=True).stdout
            if "LOWER_UP" in state:
                return
            time.sleep(0.01)
        raise RuntimeError("the veth link did not come up")

    def far(self, make):
        """Calls make() in a thread that has joined the far namespace; returns its result."""
        result = {}

        def inside():
            fd = os.open("/proc/%d/ns/net" % self.holder.pid, os.O_RDONLY)
            try:
                if _libc.setns(fd, _CLONE_NEWNET) != 0:
                    raise OSError(ctypes.get_errno(), "setns")
            finally:
                os.close(fd)
            try:
                result["value"] = make()
            except BaseException as error:  # handed to the calling thread
                result["error"] = error

        thread = threading.Thread(target=inside)
        thread.start()
        thread.join()
        if "error" in result:
            raise result["error"]
        return result["value"]

    def close(self):
        subprocess.run(["ip", "link", "del", "va"], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self.holder.kill()
        self.holder.wait()
