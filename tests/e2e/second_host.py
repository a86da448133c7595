"""A second host for end-to-end tests: a network namespace of its own joined to
the test's by a veth pair. Both namespaces are private: nothing leaves the
machine."""
import os
import subprocess
import time

from netns import call_in

# The pair's ends: NEAR_LINK here, FAR_LINK in the second host's namespace.
NEAR_LINK = "vnear"
FAR_LINK = "vfar"


def _ip(*args, netns_of=None):
    prefix = ["nsenter", "-t", str(netns_of), "-n"] if netns_of is not None else []
    subprocess.run(prefix + ["ip"] + list(args), check=True, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)


def _wait_for(condition, what):
    deadline = time.monotonic() + 5
    while not condition():
        if time.monotonic() > deadline:
            raise RuntimeError(what + " did not come up")
        time.sleep(0.01)


class SecondHost:
    """The link has the addresses near (a list, each /24) on this side and far
    on the other, where loopback is up too. Objects made by call_there(...), or
    given netns, have their sockets over there, so they may use the same ports
    as sockets here, as another device on the network does. One at a time per
    namespace (the link names are fixed)."""

    def __init__(self, near, far):
        self.near = list(near)
        self.far = list(far)
        self._refuse_outside_a_private_namespace()
        own = self._namespace_of("self")
        self.holder = subprocess.Popen(["unshare", "-n", "sleep", "3600"])
        self.netns = "/proc/%d/ns/net" % self.holder.pid
        try:
            _wait_for(lambda: self._namespace_of(self.holder.pid) not in (own, None), "the second host's namespace")
            _ip("link", "add", NEAR_LINK, "type", "veth", "peer", "name", FAR_LINK, "netns", str(self.holder.pid))
            for address in self.near:
                _ip("addr", "add", address + "/24", "dev", NEAR_LINK)
            _ip("link", "set", NEAR_LINK, "up")
            _ip("link", "set", "lo", "up", netns_of=self.holder.pid)
            for address in self.far:
                _ip("addr", "add", address + "/24", "dev", FAR_LINK, netns_of=self.holder.pid)
            _ip("link", "set", FAR_LINK, "up", netns_of=self.holder.pid)
            _wait_for(self._link_is_up, "the veth link")
        except BaseException:
            self.close()
            raise

    @staticmethod
    def _refuse_outside_a_private_namespace():
        # The host's own network has a default route; a private namespace has none.
        routes = subprocess.run(["ip", "route", "show", "default"], capture_output=True, text=True, check=True)
        if routes.stdout.strip():
            raise RuntimeError("refusing to add a veth link outside a private network namespace "
                               "(run through tests/netns-run)")

    @staticmethod
    def _namespace_of(process):
        try:
            return os.readlink("/proc/%s/ns/net" % process)
        except OSError:
            return None

    @staticmethod
    def _link_is_up():
        state = subprocess.run(["ip", "-o", "link", "show", NEAR_LINK], capture_output=True, text=True).stdout
        return "LOWER_UP" in state

    def call_there(self, make):
        """Returns make(), called in a thread that has joined the second host's namespace."""
        return call_in(self.netns, make)

    def close(self):
        subprocess.run(["ip", "link", "del", NEAR_LINK], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self.holder.kill()
        self.holder.wait()
