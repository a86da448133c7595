"""Shared pieces of the UDP command mode end-to-end tests: the simulated
instrument over UDP, a second host on a veth link for the default ports, and
the program's listening port."""
import os
import socket
import subprocess
import time

from fake_instrument import Datagrams, FakeUdpInstrument, Reply  # noqa: F401  (re-exported)
from file_support import CommandFileCase
from tcp_support import EOL, ON_WINDOWS_BUILD, SLACK, psulan  # noqa: F401  (re-exported)

# What /u sets both UDP ports to.
UDP_PORT = 53001
# Every run listens this long after its last command.
WINDOW = 2.0
# One pass of the mode's loop when nothing arrives: the sender's 50 ms wait
# for a direct reply, the listener's 50 ms step and the 3 ms pause.
PASS = 0.103


class SecondHost:
    """A network namespace of its own joined to this one by a veth pair:
    this side 10.99.0.1, the other side ADDRESS. An instrument served there
    may use the same port as the program's listener here, as a device on the
    network does. Both namespaces are private: nothing leaves the machine."""

    ADDRESS = "10.99.0.2"
    LOCAL = "10.99.0.1"

    def __init__(self):
        own = os.readlink("/proc/self/ns/net")
        self.holder = subprocess.Popen(["unshare", "-n", "sleep", "3600"])
        deadline = time.monotonic() + 10
        while os.readlink("/proc/%d/ns/net" % self.holder.pid) == own:
            if time.monotonic() > deadline:
                raise AssertionError("the second host's namespace did not come up")
            time.sleep(0.01)
        self.netns = "/proc/%d/ns/net" % self.holder.pid
        pid = str(self.holder.pid)

        def ip(*args, inside=False):
            prefix = ["nsenter", "-t", pid, "-n"] if inside else []
            subprocess.run(prefix + ["ip"] + list(args), check=True)

        ip("link", "add", "vhost", "type", "veth", "peer", "name", "vdevice", "netns", pid)
        ip("addr", "add", self.LOCAL + "/24", "dev", "vhost")
        ip("link", "set", "vhost", "up")
        ip("addr", "add", self.ADDRESS + "/24", "dev", "vdevice", inside=True)
        ip("link", "set", "vdevice", "up", inside=True)
        ip("link", "set", "lo", "up", inside=True)

    def close(self):
        subprocess.run(["ip", "link", "del", "vhost"], stderr=subprocess.DEVNULL)
        self.holder.kill()
        self.holder.wait()


class UdpCase(CommandFileCase):
    """Runs the program in UDP mode against fakes that it stops afterwards."""

    def serve_udp(self, personality, **options):
        fake = FakeUdpInstrument(personality, **options).start()
        self.addCleanup(fake.stop)
        return fake

    def second_host(self):
        host = SecondHost()
        self.addCleanup(host.close)
        return host

    def udp(self, args, fake=None, timeout=60):
        """Runs the program with /u first, sending to fake (on 127.0.0.1) when
        given. Adds .ended, the monotonic time at which the run was over."""
        target = ["/ip", "127.0.0.1", "/cport", str(fake.port)] if fake is not None else []
        run = psulan(["/u"] + target + list(args), timeout=timeout)
        run.ended = time.monotonic()
        return run


def hold_port(port, address="0.0.0.0"):
    """A UDP socket holding the port, without address reuse."""
    holder = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
    holder.bind((address, port))
    return holder
