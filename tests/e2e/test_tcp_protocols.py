"""HiSLIP (/hislip) and VXI-11 (/vxi11) sessions against simulated servers: a query and a non-query on each, one
session or link for a /t repeat and for a command file, /dev, a FatalError and a refused link, a server that stays
silent, a reply in many Data messages behind a stale one; /eol on a raw reply; the switches that cannot combine."""
import json
import signal
import unittest

import psulan_run
from fake_hislip import FakeHislip
from fake_lxi import FakeLxi, Instrument
from file_support import CommandFileCase
from psulan_run import in_private_namespace
from tcp_support import EOL, LineReader, Reply, Scpi, free_port, psulan, stop, target

FIRST = 0xFFFFFF00
REFUSED = b"!TCP connect failed with error code 10061 : Connection refused"


def setUpModule():
    if not in_private_namespace():  # the portmapper's port 111
        raise unittest.SkipTest("needs a private network namespace (tests/netns-run)")


class Protocols(CommandFileCase):
    def hislip(self, replies=None, **options):
        fake = FakeHislip(replies or {b"*IDN?": b"ACME,HS,2,1.0\n", b"MEAS:VOLT?": b"5.000\n"}, **options).__enter__()
        self.addCleanup(fake.__exit__)
        return fake, ["/ip", "127.0.0.1", "/hislip", "/tport", str(fake.port)]

    def vxi11(self, **options):
        instrument = Instrument("127.0.0.1", vxi11_port=free_port(), **options,
                                replies={b"*IDN?": b"ACME,VX,1,1.0\n", b"MEAS:VOLT?": b"5.000\n",
                                         b"SYST:ERR?": b'0,"No error"\n'})
        fake = FakeLxi([instrument]).__enter__()
        self.addCleanup(fake.__exit__)
        return fake, ["/ip", "127.0.0.1", "/vxi11"]

    def repeat(self, args, count):
        process = psulan_run.start(args + ["/t", "/ttime", "20", "/cmd", "meas:volt?"])
        self.addCleanup(lambda: process.poll() is None and process.kill())
        reader = LineReader(process)
        lines = reader.lines(count, timeout=20)
        stop(process, signal.SIGTERM)
        process.stdout.close()
        return lines

    def test_hislip_query_then_command_in_one_session(self):
        fake, args = self.hislip()
        run = psulan(args + ["/n", "/d", "/cmd", "*idn?;volt 5"])
        self.assertEqual((run.code, run.lines()), (0, [b"ACME,HS,2,1.0\t [*idn?]", b"\t [volt 5]"]))
        # Ids grow by 2; "RMT delivered" on the message after a whole reply.
        self.assertEqual(fake.commands, [(1, FIRST, 0, b"*idn?"), (1, FIRST + 2, 1, b"volt 5")])
        self.assertEqual(fake.sessions, {1: {"sub_address": b"hislip0", "async": True}})

    def test_hislip_reply_joined_from_pieces_after_a_stale_one_and_dev(self):
        fake, args = self.hislip({b"*IDN?": b"ACME,HS,many pieces,1.0\n"}, pieces=5, stale=True)
        run = psulan(args + ["/dev", "hislip3", "/json", "/cmd", "*idn?"])
        self.assertEqual((run.code, run.out), (0, b'{"type":"reply","command":"*idn?","reply":"ACME,HS,many pieces,1.0"}' + EOL
                                               + b'{"type":"end","exit":0,"replies":1,"errors":0}' + EOL))
        self.assertEqual(fake.sessions[1]["sub_address"], b"hislip3")

    def test_hislip_repeat_and_command_file_keep_one_session(self):
        fake, args = self.hislip()
        self.assertEqual(self.repeat(args, 3), [b"5.000"] * 3)
        self.assertEqual([c[:2] for c in fake.commands[:3]], [(1, FIRST), (1, FIRST + 2), (1, FIRST + 4)])
        path = self.command_file(b"*idn?\n\nvolt 5\nmeas:volt?\n")
        run = psulan(args + ["/waitp", "10", "/cfl", path])
        self.assertEqual((run.code, run.lines()), (0, [b"ACME,HS,2,1.0", b"5.000"]))
        self.assertEqual([c[0] for c in fake.commands[-3:]], [2, 2, 2])

    def test_hislip_failures(self):
        fake, args = self.hislip(fatal=(1, b"Poorly formed message header"))
        run = psulan(args + ["/cmd", "*idn?"])
        self.assertEqual((run.code, run.lines()), (0, [b"!HiSLIP error 1 : Poorly formed message header", b""]))
        run = psulan(args + ["/json", "/cmd", "*idn?"])
        self.assertEqual([json.loads(line) for line in run.lines()],
                         [{"type": "reply", "command": "*idn?", "reply": None,
                           "error": {"code": 1, "text": "Poorly formed message header"}},
                          {"type": "end", "exit": 0, "replies": 1, "errors": 1}])
        fake, args = self.hislip(silent=True)
        run = psulan(args + ["/f", "/v", "/cmd", "*idn?"])
        self.assertEqual(run.lines()[-2:], [b"Response Timeout!\t [*idn?]", b"TCP Stopped"])
        self.assertGreaterEqual(run.seconds, 0.100)
        run = psulan(["/ip", "127.0.0.1", "/hislip", "/tport", str(free_port()), "/cmd", "*idn?"])
        self.assertEqual((run.code, run.lines()), (0, [REFUSED, b""]))

    def test_vxi11_query_command_and_dev_over_one_link(self):
        fake, args = self.vxi11()
        run = psulan(args + ["/dev", "gpib0,5", "/n", "/d", "/cmd", "*idn?;volt 5; ;meas:volt?"])
        self.assertEqual((run.code, run.lines()),
                         (0, [b"ACME,VX,1,1.0\t [*idn?]", b"\t [volt 5]", b"[ wait 500 ms ]", b"5.000\t [meas:volt?]"]))
        self.assertEqual(fake.links, [("127.0.0.1", b"gpib0,5", 7)])
        self.assertEqual(fake.destroyed, [7])
        # Each message once, with END, no line end added.
        self.assertEqual(fake.tcp_bytes["127.0.0.1"].count(b"\x00\x00\x00\x08\x00\x00\x00\x06volt 5\x00\x00"), 1)

    def test_vxi11_repeat_and_command_file_keep_one_link(self):
        fake, args = self.vxi11()
        self.assertEqual(self.repeat(args, 3), [b"5.000"] * 3)
        self.assertEqual(len(fake.links), 1)
        path = self.command_file(b"*idn?\nvolt 5\nmeas:volt?\n")
        run = psulan(args + ["/vv", "/cfl", path])
        no_error = b'0,"No error"\t [%s]'
        self.assertEqual(run.lines()[1:], [b"TCP Create", b"TCP for: 127.0.0.1 *idn?", b"ACME,VX,1,1.0\t [*idn?]",
                                           no_error % b"*idn?", b"TCP for: 127.0.0.1 volt 5", no_error % b"volt 5",
                                           b"TCP for: 127.0.0.1 meas:volt?", b"5.000\t [meas:volt?]",
                                           no_error % b"meas:volt?", b"TCP Stopped"])
        self.assertEqual([link[2] for link in fake.links], [7, 8])
        self.assertEqual(fake.destroyed, [8])  # the stopped repeat destroys nothing

    def test_vxi11_refused_link(self):
        fake, args = self.vxi11(link_error=11)
        run = psulan(args + ["/cmd", "*idn?"])
        self.assertEqual((run.code, run.lines()), (0, [b"!VXI-11 error 11 : Device locked by another link", b""]))

    def test_eol_ends_a_raw_reply_at_its_line_end(self):
        fake = self.serve(Scpi({"V?": Reply([(0, b"1.5\n"), (0.02, b"2.5\n")]), "W?": Reply([(0, b"1"), (0.02, b"2")])}))
        for switches, out in (([], b"1.5\n2.5"), (["/eol"], b"1.5")):
            with self.subTest(switches=switches):
                run = psulan(target(fake) + switches + ["/cmd", "V?"])
                self.assertEqual((run.code, run.out), (0, out + EOL))
        run = psulan(target(fake) + ["/eol", "/cmd", "W?"])  # no line end: the reply ends after the silence
        self.assertEqual(run.out, b"12" + EOL)

    def test_switches_that_do_not_combine(self):
        for args, line in (
                (["/ip", "1.2.3.4", "/hislip", "/mod", "3", "100", "2"],
                 b"Error: /mod is Modbus-TCP, which /hislip and /vxi11 do not carry. (use: /ip 192.168.2.2 /mod 3 100 2)"),
                (["/mod", "3", "100", "2", "/vxi11", "/ip", "1.2.3.4"],
                 b"Error: /mod is Modbus-TCP, which /hislip and /vxi11 do not carry. (use: /ip 192.168.2.2 /mod 3 100 2)"),
                (["/ip", "1.2.3.4", "/vxi11", "/cmd", "*idn?", "/dev"],
                 b"Error: Missing device name. (use: /vxi11 /dev gpib0,5 /ip 192.168.1.30 /cmd *idn?)")):
            with self.subTest(args=args):
                run = psulan(args)
                self.assertEqual((run.code, run.lines()), (2, [line]))


if __name__ == "__main__":
    unittest.main()
