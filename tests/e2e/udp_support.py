"""Shared pieces of the UDP command mode end-to-end tests: the simulated
instrument over UDP, a second host on a veth link for the default ports, and
the program's listening port."""
import socket
import time

from fake_instrument import Datagrams, FakeUdpInstrument, Reply  # noqa: F401  (re-exported)
from file_support import CommandFileCase
from second_host import SecondHost
from tcp_support import EOL, ON_WINDOWS_BUILD, SLACK, psulan  # noqa: F401  (re-exported)

# The two ends of a second host's link: the program's side and the instrument's.
HOST_ADDRESS = "10.99.0.1"
DEVICE_ADDRESS = "10.99.0.2"
# What /u sets both UDP ports to.
UDP_PORT = 53001
# Every run listens this long after its last command.
WINDOW = 2.0
# One pass of the mode's loop when nothing arrives: the sender's 50 ms wait
# for a direct reply, the listener's 50 ms step and the 3 ms pause.
PASS = 0.103


class UdpCase(CommandFileCase):
    """Runs the program in UDP mode against fakes that it stops afterwards."""

    def serve_udp(self, personality, **options):
        fake = FakeUdpInstrument(personality, **options).start()
        self.addCleanup(fake.stop)
        return fake

    def second_host(self):
        host = SecondHost([HOST_ADDRESS], [DEVICE_ADDRESS])
        self.addCleanup(host.close)
        return host

    def udp(self, args, fake=None, timeout=60):
        """Runs the program with /u first, sending to fake (on 127.0.0.1) when
        given. Adds .ended, the monotonic time at which the run was over."""
        target = ["/ip", "127.0.0.1", "/cport", str(fake.port)] if fake is not None else []
        run = psulan(["/u"] + target + list(args), timeout=timeout)
        run.ended = time.monotonic()
        return run


def wait_bound(port, timeout=20.0):
    """Waits until a UDP socket of this network namespace is bound to port
    (the program's listener, natively or made by wine's server)."""
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        with open("/proc/net/udp") as table:
            ports = {int(line.split()[1].split(":")[1], 16) for line in list(table)[1:]}
        if port in ports:
            return
        time.sleep(0.002)
    raise AssertionError("nothing bound to UDP port %d after %d s" % (port, timeout))


def hold_port(port, address="0.0.0.0"):
    """A UDP socket holding the port, without address reuse."""
    holder = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
    holder.bind((address, port))
    return holder
