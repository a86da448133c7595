"""Shared pieces of the discovery and configuration end-to-end tests: the private
network namespace they need, simulated supplies, and the program run against them.

Discovery and configuration runs broadcast. Importing this module makes sure the
test process is in a private network namespace with only the loopback interface
up: natively it re-executes the test under `unshare -n` when it is not; under
wine (whose server must be started inside the namespace, see
scripts/wine-session) it refuses to run.
"""
import os
import sys
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

# Timing tolerances: the upper side gets what a loaded 2-core machine adds
# (wine more). A wait the program measures by its millisecond clock can end
# up to a millisecond early as seen from here, plus the clocks' reading delays;
# the fakes take arrival times from the kernel's receive timestamps.
SLACK = 1.5 if ON_WINDOWS_BUILD else 1.0
EARLY = 0.002
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
