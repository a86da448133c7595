"""/lxi against simulated instruments: found by the portmapper, by raw SCPI only, both ways (listed once), a dead
one (marked; its identity costs at most 1 s), announced by PTR records alone (resolved by follow-up questions, or
listed under the reply's source), one that announces only HiSLIP (asked over HiSLIP), identification documents (read,
malformed, huge, slow), and malformed replies
(dropped; only /v tells)."""
import json
import struct
import subprocess
import unittest

from fake_hislip import FakeHislip
from fake_lxi import FakeLxi, Instrument, mdns_answer
from psulan_run import ON_WINDOWS_BUILD, in_private_namespace, run

LISTEN = 2.001
# What a loaded 2-core machine adds to a run beyond its waits. Natively that
# keeps a dead instrument that costs more than its second in sight; under wine
# a loaded machine adds seconds of its own, and the bound catches a hang.
SLACK = 3.0 if ON_WINDOWS_BUILD else 1.0
JUNK_LINE = b"Received from: 127.0.9.9  Length: %d - Dropped: not an answer to the queries"


def setUpModule():
    if not in_private_namespace():
        raise unittest.SkipTest("needs a private network namespace (tests/netns-run)")
    subprocess.run("ip link set lo multicast on && ip route replace 224.0.0.0/4 dev lo", shell=True, check=True)


def announced(query, cut=0, id_change=0):
    answer = mdns_answer(Instrument("127.0.9.9", services={"_lxi._tcp": 80}), query)
    return answer and struct.pack(">H", struct.unpack(">H", answer[:2])[0] ^ id_change) + answer[2:len(answer) - cut]


JUNK = [
    lambda q: struct.pack(">7I", struct.unpack(">I", q[:4])[0] ^ 1, 1, 0, 0, 0, 0, 1024) if len(q) == 56 else None,
    lambda q: q[:4] + b"\0\0\0\1" if len(q) == 56 else None,
    lambda q: None if len(q) == 56 else announced(q, cut=3),
    lambda q: None if len(q) == 56 else announced(q, id_change=1),
    lambda q: None if len(q) == 56 else q[:2] + b"\x84\x00\0\0\0\1\0\0\0\0" + b"\xc0\x0c\0\x0c\0\x01\0\0\0\x78\0\x02\xc0\x0c",
]

EXPECTED = [
    b"Local Addresses: 127.0.0.1,",
    b"", b"LXI Instrument: 127.0.0.30", b"Found by:      VXI-11 core port 1024", b"IDN:  [Maker,VXI-11 only,1,1.0]",
    b"", b"LXI Instrument: 127.0.0.31", b"Found by:      mDNS _scpi-raw._tcp port 5025", b"Name:          Raw one",
    b"IDN:  [Maker,Raw SCPI,2,1.0]", b"", b"LXI Instrument: 127.0.0.32",
    b"Found by:      VXI-11 core port 1025, mDNS _lxi._tcp port 80, _scpi-raw._tcp port 5026",
    b"Name:          Both ways", b"IDN:  [Maker,Both,3,1.0]", b"", b"LXI Instrument: 127.0.0.33",
    b"Found by:      VXI-11 core port 1026, mDNS _hislip._tcp port 4880", b"Name:          Dead one",
    b"Announced: [Dead Corp,DC1,,]", b"No answer over: VXI-11",
    b"", b"LXI Instrument: 127.0.0.34", b"Found by:      mDNS _lxi._tcp port 8080, _scpi-raw._tcp port 5027",
    b"Name:          Resolved one", b"IDN:  [Maker,Resolved,4,1.0]",
    b"Host name:     h127-0-0-34.local", b"MAC Address:   00-80-2F-00-00-22", b"IP Address:    127.0.0.34 - DHCP",
    b"Subnet mask:   255.255.255.0", b"Gateway:       192.168.1.1", b"Host name:     service-port",
    b"MAC Address:   00:80:2f:00:01:22", b"IP Address:    10.0.0.34 - Static", b"Subnet mask:   255.0.0.0",
    b"Gateway:       10.0.0.1",
    b"", b"LXI Instrument: 127.0.0.35", b"Found by:      mDNS _lxi._tcp", b"Name:          Unresolved one",
    b"", b"LXI Instrument: 127.0.0.36", b"Found by:      mDNS _hislip._tcp port 4880",
    b"Name:          HiSLIP only", b"IDN:  [Maker,HiSLIP only,4,1.0]"]


class LxiSearch(unittest.TestCase):
    maxDiff = None

    @classmethod
    def setUpClass(cls):
        cls.empty = run(["/lxi", "/f"])
        with FakeLxi([
            Instrument("127.0.0.30", idn=b"Maker,VXI-11 only,1,1.0", vxi11_port=1024, http=(80, "huge")),
            Instrument("127.0.0.31", idn=b"Maker,Raw SCPI,2,1.0", services={"_scpi-raw._tcp": 5025}, scpi_port=5025,
                       name="Raw one"),
            # Its raw SCPI port takes no connection: the identity comes over VXI-11.
            Instrument("127.0.0.32", idn=b"Maker,Both,3,1.0", vxi11_port=1025, name="Both ways",
                       services={"_scpi-raw._tcp": 5026, "_lxi._tcp": 80}, http=(80, "malformed")),
            Instrument("127.0.0.33", vxi11_port=1026, services={"_hislip._tcp": 4880}, dead=True, name="Dead one",
                       txt=["Manufacturer=Dead Corp", "model=DC1"]),
            # Announced for it by 127.0.0.44: SRV, TXT, then A asked; its document on the SRV port.
            Instrument("127.0.0.34", idn=b"Maker,Resolved,4,1.0", services={"_lxi._tcp": 8080, "_scpi-raw._tcp": 5027},
                       scpi_port=5027, name="Resolved one", ptr_only=True, mdns_from="127.0.0.44",
                       http=(8080, "document")),
            Instrument("127.0.0.35", services={"_lxi._tcp": 80}, name="Unresolved one", ptr_only=True, resolves=(),
                       http=(80, "slow")),
            Instrument("127.0.0.36", services={"_hislip._tcp": 4880}, name="HiSLIP only"),
        ], junk=JUNK) as cls.fake, FakeHislip({b"*IDN?": b"Maker,HiSLIP only,4,1.0\n"}, address="127.0.0.36",
                                              port=4880) as cls.hislip:
            cls.plain = run(["/LXI"])
            before = len(cls.fake.queries)
            cls.verbose = run(["-lxi", "/v"])
            cls.verbose_queries = cls.fake.queries[before:]
            cls.json = run(["/json", "/lxi"])

    def test_nothing_found(self):
        self.assertEqual((self.empty.code, self.empty.lines()),
                         (0, [b"Local Addresses: 127.0.0.1,", b" No LXI instrument found."]))

    def test_each_instrument_once_in_address_order_and_the_dead_and_slow_ones_cost_their_budgets(self):
        self.assertEqual((self.plain.code, self.plain.lines()), (0, EXPECTED))
        # The dead and the slow one are asked at once, each for its whole budget.
        self.assertGreater(self.plain.seconds, LISTEN + 0.9)
        self.assertLess(self.plain.seconds, LISTEN + 0.9 + SLACK)
        self.assertIn(b"\x00\x00\x00\x05inst0\x00\x00\x00", self.fake.tcp_bytes["127.0.0.30"])
        self.assertEqual(self.hislip.commands[0][1:], (0xFFFFFF00, 0, b"*IDN?"))
        self.assertIn(b"GET /lxi/identification HTTP/1.1\r\nHost: 127.0.0.34\r\nConnection: close\r\n\r\n",
                      self.fake.tcp_bytes["127.0.0.34"])

    def test_malformed_replies_are_dropped_and_only_verbose_output_tells(self):
        lines = self.verbose.lines()
        self.assertEqual(lines[1:3], [b" IP: 0.0.0.0   Mask: 0.0.0.0   Gateway: 0.0.0.0   MAC:    Ports: 7024 7025 8462",
                                      b"Sender started at: 127.0.0.1"])
        junk = [make(data) for data in self.verbose_queries for make in JUNK]
        self.assertEqual(sorted(line for line in lines if b"Dropped" in line),
                         sorted(JUNK_LINE % len(reply) for reply in junk if reply))
        blocks = [line for line in lines if not line.startswith((b"Received from: ", b"Identity over", b"Identification"))]
        self.assertEqual(blocks[:1] + blocks[4:], EXPECTED)
        self.assertEqual([line for line in lines if line.startswith(b"Identification from 127.0.0.3")], [
            b"Identification from 127.0.0.30 port 80 gave a reply over the size bound",
            b"Identification from 127.0.0.31 port 80 failed with error code: 10061 : Connection refused",
            b"Identification from 127.0.0.32 port 80 gave a document that does not read (1147 bytes)",
            b"Identification from 127.0.0.33 port 80 timed out", b"Identification from 127.0.0.35 port 80 timed out",
            b"Identification from 127.0.0.36 port 80 failed with error code: 10061 : Connection refused"])

    def test_json_objects_carry_what_the_blocks_show(self):
        objects = [json.loads(line) for line in self.json.lines()]
        self.assertEqual([(o["ip"], o["vxi11_port"], o["name"], o["idn"], o["idnBy"], o["announced"], o["tried"])
                          for o in objects[:-2]], [
            ("127.0.0.30", 1024, None, "Maker,VXI-11 only,1,1.0", "vxi11", None, ["vxi11"]),
            ("127.0.0.31", None, "Raw one", "Maker,Raw SCPI,2,1.0", "scpi-raw", None, ["scpi-raw"]),
            ("127.0.0.32", 1025, "Both ways", "Maker,Both,3,1.0", "vxi11", None, ["vxi11"]),
            ("127.0.0.33", 1026, "Dead one", None, None, "Dead Corp,DC1,,", ["vxi11"]),
            ("127.0.0.34", None, "Resolved one", "Maker,Resolved,4,1.0", "scpi-raw", None, ["scpi-raw"]),
            ("127.0.0.35", None, "Unresolved one", None, None, None, []),
            ("127.0.0.36", None, "HiSLIP only", "Maker,HiSLIP only,4,1.0", "hislip", None, ["hislip"])])
        self.assertEqual(objects[2]["services"], [{"type": "_lxi._tcp", "port": 80},
                                                  {"type": "_scpi-raw._tcp", "port": 5026}])
        self.assertEqual(objects[5]["services"], [{"type": "_lxi._tcp", "port": None}])
        self.assertEqual(objects[4]["interfaces"], [
            {"hostname": "h127-0-0-34.local", "mac": "00-80-2F-00-00-22", "ip": "127.0.0.34", "dhcp": "DHCP",
             "mask": "255.255.255.0", "gateway": "192.168.1.1"},
            {"hostname": "service-port", "mac": "00:80:2f:00:01:22", "ip": "10.0.0.34", "dhcp": "Static",
             "mask": "255.0.0.0", "gateway": "10.0.0.1"}])
        self.assertEqual([o["interfaces"] for o in objects[:4] + objects[5:-2]], [[]] * 6)
        self.assertEqual(objects[-2:], [{"type": "summary", "instruments": 7},
                                        {"type": "end", "exit": 0, "instruments": 7, "errors": 0}])


class DeadAmongPrompt(unittest.TestCase):
    def test_identities_are_asked_at_once_and_the_blocks_keep_address_order(self):
        # The dead one comes first: the prompt ones, each call answered 50 ms late, wait behind it.
        with FakeLxi([Instrument("127.0.0.40", vxi11_port=1024, dead=True),
                      Instrument("127.0.0.41", idn=b"Maker,A,41,1.0", vxi11_port=1024, call_delay=0.05),
                      Instrument("127.0.0.42", idn=b"Maker,B,42,1.0", vxi11_port=1024, call_delay=0.05)]):
            verbose = run(["/lxi", "/v"])
        found = b"Found by:      VXI-11 core port 1024"
        self.assertEqual([line for line in verbose.lines() if not line.startswith((b"Received from: ", b"Sender"))][2:], [
            b"Identity over VXI-11 to 127.0.0.40 failed with error code: 10060 : Connection timed out",
            b"Identification from 127.0.0.40 port 80 timed out",
            b"", b"LXI Instrument: 127.0.0.40", found, b"No answer over: VXI-11",
            b"Identification from 127.0.0.41 port 80 failed with error code: 10061 : Connection refused",
            b"", b"LXI Instrument: 127.0.0.41", found, b"IDN:  [Maker,A,41,1.0]",
            b"Identification from 127.0.0.42 port 80 failed with error code: 10061 : Connection refused",
            b"", b"LXI Instrument: 127.0.0.42", found, b"IDN:  [Maker,B,42,1.0]"])
        # The dead one's identity is given its whole time (how soon it ends is for bench/lxi_bench.sh).
        self.assertGreaterEqual(verbose.seconds, LISTEN + 0.9)


if __name__ == "__main__":
    unittest.main()
