"""Two hosts: the supplies in a second network namespace behind a veth pair, the
program here, broadcasting across the link. Here the link has two addresses, so
the local address list holds both (and not loopback), and every query and
configuration datagram leaves once from each. A second link that is down does
not count.

The Windows build takes its local addresses from the host name, which resolves
to loopback here; under wine the runs name the source address with /bad."""
import subprocess
import unittest

from second_host import SecondHost
from supply_support import ON_WINDOWS_BUILD, FakeSupplies, Supply, SupplyCase, lines_of, psulan

NEAR = ["10.99.0.1", "10.99.0.3"]
FAR = ["10.99.0.2", "10.99.0.12"]
MAC_TEXT = b"02-00-00-00-00-01"
# The sources the runs use, and the switches that choose them.
SOURCES = ["10.99.0.1"] if ON_WINDOWS_BUILD else NEAR
CHOOSE = ["/bad", "10.99.0.1"] if ON_WINDOWS_BUILD else []


class TwoHosts(SupplyCase):
    @classmethod
    def setUpClass(cls):
        cls.host = SecondHost(NEAR, FAR)
        # A link that is down, with an address: not a local address.
        subprocess.run("ip link add vx type veth peer name vy && ip addr add 10.98.0.1/24 dev vx",
                       shell=True, check=True)

    @classmethod
    def tearDownClass(cls):
        subprocess.run(["ip", "link", "del", "vx"])
        cls.host.close()

    def setUp(self):
        supplies = [Supply("02-00-00-00-00-01", FAR[0], ip="10.99.0.2", serial=b"SN0000000001", idn=b"RI,far,1"),
                    Supply("02-00-00-00-00-02", FAR[1], ip="10.99.0.12", serial=b"SN0000000002", length=107,
                           idn=b"RI,far,2")]
        self.fake = self.host.call_there(lambda: FakeSupplies(supplies))
        self.fake.start()
        self.addCleanup(self.fake.stop)

    def test_local_addresses_are_those_of_the_interfaces_that_are_up(self):
        if ON_WINDOWS_BUILD:
            self.skipTest("the Windows build resolves the host name")
        run = psulan(["/f"])
        self.assertTrue(run.full.startswith(lines_of(b"Local Addresses: 10.99.0.1,10.99.0.3,")), run.full)

    def test_queries_cross_the_link_from_every_source(self):
        run = psulan(CHOOSE + ["/v", "/f"])
        self.assertEqual(run.code, 0)
        for source in SOURCES:
            self.assertEqual(run.out.count(lines_of(b"Sender started at: " + source.encode())), 2)
        self.assertIn(lines_of(b"Received from: 10.99.0.2  Length: 108"), run.out)
        self.assertIn(lines_of(b"Received from: 10.99.0.12  Length: 107"), run.out)
        self.assertEqual(run.out.count(b"\r\nSerial Number: "), 2)
        self.assertEqual(sorted(d.source for d in self.fake.received(b"\x05")),
                         sorted((source, 7025) for source in SOURCES))

    def test_identity_across_the_link(self):
        run = psulan(CHOOSE + ["/a", "/f"])
        self.assertIn(lines_of(b"PUD:  [PSU]", b"IdnIf:[RI,far,1;LAN]"), run.out)
        self.assertIn(lines_of(b"PUD:  [PSU]", b"IDN:  [RI,far,2]"), run.out)

    def test_configuration_across_the_link(self):
        run = psulan(CHOOSE + ["/mac", MAC_TEXT.decode(), "/r"])
        self.assertEqual(run.lines()[:len(SOURCES)],
                         [b"Reset controller at: %s   for: %s" % (s.encode(), MAC_TEXT) for s in SOURCES])
        resets = self.fake.received(b"\x02\x02\x00\x00\x00\x00\x01")
        self.assertEqual(sorted(d.source for d in resets), sorted((source, 7025) for source in SOURCES))
        self.assertEqual(self.fake.events, ["02-00-00-00-00-01 reset: static 10.99.0.2 mask 255.255.255.0 "
                                            "gateway 10.99.0.1"] * len(SOURCES))


if __name__ == "__main__":
    unittest.main()
