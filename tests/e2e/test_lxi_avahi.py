"""/lxi against a real multicast DNS responder: avahi-daemon on a second host announces an instrument, which psulan
lists with its address, ports and announced identity when asked in the daemon's first second (its answer then holds
the PTR records alone) and later. Under wine the runs name the source address with /bad (the Windows build's local
addresses are those its host name resolves to, 127.0.0.1 here)."""
import contextlib
import os
import shutil
import socket
import struct
import subprocess
import tempfile
import time
import unittest

from psulan_run import ON_WINDOWS_BUILD, in_private_namespace, run
from second_host import FAR_LINK, NEAR_LINK, SecondHost

NEAR, FAR = "10.98.0.1", "10.98.0.2"
FILES = {"avahi-daemon.conf": "[server]\nhost-name=scope\nuse-ipv6=no\nenable-dbus=no\nallow-interfaces=%s\n"
                              "[wide-area]\nenable-wide-area=no\n" % FAR_LINK,
         "services/lxi.service": """<service-group><name>Scope one</name>
  <service><type>_lxi._tcp</type><port>80</port>
    <txt-record>Manufacturer=Avahi Labs</txt-record><txt-record>Model=AV1</txt-record></service>
  <service><type>_scpi-raw._tcp</type><port>5025</port></service></service-group>"""}
# Its own /run and /etc/avahi, in a mount namespace of its own.
START = ("mount -t tmpfs tmpfs /run && mkdir /run/avahi-daemon && mount --bind %s /etc/avahi && "
         "exec avahi-daemon --no-drop-root --no-chroot --no-rlimits -f /etc/avahi/avahi-daemon.conf")
CHOOSE = ["/bad", NEAR] if ON_WINDOWS_BUILD else []
EXPECTED = ([b"Local Addresses: 127.0.0.1,", b"Bind to Address: 10.98.0.1"] if ON_WINDOWS_BUILD else
            [b"Local Addresses: 10.98.0.1,"]) + [b"", b"LXI Instrument: 10.98.0.2",
            b"Found by:      mDNS _lxi._tcp port 80, _scpi-raw._tcp port 5025", b"Name:          Scope one",
            b"Announced: [Avahi Labs,AV1,,]", b"No answer over: raw SCPI"]


def first_answer_count():
    """Asks for _lxi._tcp.local every 20 ms until an answer comes."""
    with socket.socket(socket.AF_INET, socket.SOCK_DGRAM) as s:
        s.setsockopt(socket.IPPROTO_IP, socket.IP_MULTICAST_IF, socket.inet_aton(NEAR))
        s.bind((NEAR, 0))
        s.settimeout(0.02)
        for _ in range(1000):
            s.sendto(struct.pack(">6H", 7, 0, 1, 0, 0, 0) + b"\4_lxi\4_tcp\5local\0\0\x0c\0\1", ("224.0.0.251", 5353))
            with contextlib.suppress(socket.timeout):
                return struct.unpack(">H", s.recv(9000)[6:8])[0]
    raise RuntimeError("avahi-daemon did not answer")


class AvahiAnnounced(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        if not in_private_namespace() or not shutil.which("avahi-daemon"):
            raise unittest.SkipTest("needs a private network namespace (tests/netns-run) and avahi-daemon")
        config, cls.host = tempfile.mkdtemp(), SecondHost([NEAR], [FAR])
        try:
            subprocess.run("ip route replace 224.0.0.0/4 dev " + NEAR_LINK, shell=True, check=True)
            os.mkdir(os.path.join(config, "services"))
            for name, text in FILES.items():
                with open(os.path.join(config, name), "w") as f:
                    f.write(text)
            daemon = subprocess.Popen(["nsenter", "-t", str(cls.host.holder.pid), "-n", "unshare", "-m",
                                       "--propagation", "private", "sh", "-c", START % config], stderr=subprocess.DEVNULL)
            try:
                cls.first_answers = first_answer_count()
                cls.early, cls.later = run(["/lxi"] + CHOOSE), run(["/lxi"] + CHOOSE)
            finally:
                daemon.terminate()
                daemon.wait(10)
        finally:
            shutil.rmtree(config)
            cls.host.close()

    def test_listed_with_its_address_in_the_daemons_first_second_and_later(self):
        # Its first answer holds the PTR record alone: the instance's SRV and TXT records are still being probed.
        self.assertEqual(self.first_answers, 1)
        self.assertEqual([(r.code, r.lines()) for r in (self.early, self.later)], [(0, EXPECTED)] * 2)


if __name__ == "__main__":
    unittest.main()
