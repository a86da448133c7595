"""/lxi against a real multicast DNS responder: avahi-daemon on a second host announces an instrument, which psulan
lists with its address, ports and announced identity when asked in the daemon's first second (its answer then holds
the PTR records alone) and later."""
import os
import shutil
import socket
import struct
import subprocess
import tempfile
import time
import unittest

from psulan_run import in_private_namespace, run
from second_host import FAR_LINK, NEAR_LINK, SecondHost

NEAR, FAR = "10.98.0.1", "10.98.0.2"
CONFIG = """[server]
host-name=scope
use-ipv4=yes
use-ipv6=no
enable-dbus=no
allow-interfaces=%s
[wide-area]
enable-wide-area=no
[publish]
publish-hinfo=no
publish-workstation=no
""" % FAR_LINK
SERVICE = """<?xml version="1.0" standalone='no'?>
<service-group>
  <name>Scope one</name>
  <service><type>_lxi._tcp</type><port>80</port>
    <txt-record>Manufacturer=Avahi Labs</txt-record><txt-record>Model=AV1</txt-record></service>
  <service><type>_scpi-raw._tcp</type><port>5025</port></service>
</service-group>
"""
# Its own /run and /etc/avahi, in a mount namespace of its own.
START = ("mount -t tmpfs tmpfs /run && mkdir /run/avahi-daemon && mount --bind %s /etc/avahi && "
         "exec avahi-daemon --no-drop-root --no-chroot --no-rlimits -f /etc/avahi/avahi-daemon.conf")
BLOCK = [b"", b"LXI Instrument: " + FAR.encode(), b"Found by:      mDNS _lxi._tcp port 80, _scpi-raw._tcp port 5025",
         b"Name:          Scope one", b"Announced: [Avahi Labs,AV1,,]", b"No answer over: raw SCPI"]


def first_answer():
    """Asks for _lxi._tcp.local every 20 ms until an answer comes; returns its answer count."""
    query = struct.pack(">6H", 7, 0, 1, 0, 0, 0) + b"\x04_lxi\x04_tcp\x05local\x00\x00\x0c\x00\x01"
    with socket.socket(socket.AF_INET, socket.SOCK_DGRAM) as s:
        s.setsockopt(socket.IPPROTO_IP, socket.IP_MULTICAST_IF, socket.inet_aton(NEAR))
        s.bind((NEAR, 0))
        s.settimeout(0.02)
        deadline = time.monotonic() + 20
        while time.monotonic() < deadline:
            s.sendto(query, ("224.0.0.251", 5353))
            try:
                return struct.unpack(">H", s.recv(9000)[6:8])[0]
            except socket.timeout:
                pass
    raise RuntimeError("avahi-daemon did not answer")


class AvahiAnnounced(unittest.TestCase):
    maxDiff = None

    @classmethod
    def setUpClass(cls):
        if not in_private_namespace():
            raise unittest.SkipTest("needs a private network namespace (tests/netns-run)")
        if not shutil.which("avahi-daemon"):
            raise unittest.SkipTest("avahi-daemon is not installed (scripts/install-deps installs it)")
        cls.host = SecondHost([NEAR], [FAR])
        config = tempfile.mkdtemp()
        try:
            subprocess.run("ip link set %s multicast on && ip route replace 224.0.0.0/4 dev %s" % (NEAR_LINK, NEAR_LINK),
                           shell=True, check=True)
            os.mkdir(os.path.join(config, "services"))
            for name, text in (("avahi-daemon.conf", CONFIG), ("services/lxi.service", SERVICE)):
                with open(os.path.join(config, name), "w") as f:
                    f.write(text)
            daemon = subprocess.Popen(["nsenter", "-t", str(cls.host.holder.pid), "-n", "unshare", "-m",
                                       "--propagation", "private", "sh", "-c", START % config],
                                      stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            try:
                cls.first_answers = first_answer()
                cls.early = run(["/lxi"])
                cls.later = run(["/lxi"])
            finally:
                daemon.terminate()
                daemon.wait(10)
        finally:
            shutil.rmtree(config)
            cls.host.close()

    def test_listed_with_its_address_in_the_daemons_first_second_and_later(self):
        # Its first answer holds the PTR record alone: the instance's SRV and TXT records are still being probed.
        self.assertEqual(self.first_answers, 1)
        expected = [b"Local Addresses: " + NEAR.encode() + b","] + BLOCK
        self.assertEqual((self.early.code, self.early.lines()), (0, expected))
        self.assertEqual((self.later.code, self.later.lines()), (0, expected))


if __name__ == "__main__":
    unittest.main()
