"""Teracom discovery: where the query leaves from and where the replies are
read (/bad, /b, a failed bind, a failed destination), which runs it takes
(/u), and its timing: 2000 ms of silence end the replies of a source
address, /f included, and each reply taken is followed by a 100 ms pause.
The runs go on at the same time, each against its own simulated modules."""
import subprocess
import unittest

from psulan_run import ON_WINDOWS_BUILD, in_private_namespace
from teracom_support import (NOT_FOUND, PAUSE, PORT, SILENCE, SLACK, Module, TeracomCase, port_switches,
                             reply_text, run_all, settings_line)

SHORT = b"TCW\r\n00:04:A3:00:00:30\r\n10.0.3"  # 30 bytes: dropped
UDP_PORT = 53001


def setUpModule():
    # Without /b the query leaves from a bound local address, and the loopback
    # namespace routes that broadcast. An unbound socket needs a route for
    # 255.255.255.255, as a real network has: the default route, here to the
    # loopback interface, so nothing can leave.
    if not in_private_namespace():
        raise unittest.SkipTest("needs a private network namespace (tests/netns-run)")
    subprocess.run(["ip", "route", "replace", "default", "dev", "lo"], check=True)


def module(n, **options):
    return Module(reply_text(host=b"TCW-%d" % n, mac=b"00:04:A3:00:00:%02d" % n, rest=b"10.0.0.%d" % n),
                  **options)


def shown(n):
    """The /v lines and the line of module(n) from 127.0.0.1."""
    return [b"Received from: 127.0.0.1  Length: %d" % (32 + len(b"%d" % n) * 2),
            b"[TCW-%d  00:04:A3:00:00:%02d  10.0.0.%d]" % (n, n, n),
            b"Hostname: TCW-%d\tSerial/MAC: 00:04:A3:00:00:%02d\tAddress: 10.0.0.%d" % (n, n, n)]


class Discovery(TeracomCase):
    @classmethod
    def setUpClass(cls):
        # Fixed ports first, so that no port the system picks takes them.
        cls.fakes = {"default": cls.serve([module(1)], port=PORT),
                     "udp mode": cls.serve([module(2)], port=UDP_PORT)}
        cases = {
            "default": [],
            "udp mode": ["/u", "/ip", "127.0.0.1", "/cmd", "mark"],
            "b": ["/b"],
            "bad local": ["/bad", "127.0.0.1"],
            "bad foreign": ["/bad", "10.1.2.3"],
            "silence": [],
            "fast": ["/f"],
            "late short reply": [],
            "pauses": [],
        }
        modules = {
            "b": [module(3)],
            "bad local": [module(4)],
            "bad foreign": [module(5)],
            "late short reply": [Module(SHORT, delay=1.5)],
            # Taken replies (a duplicate too) pause 100 ms; a dropped one
            # does not; a reply after a second of silence is still read.
            "pauses": [module(6, delay=0.005, answers=2, gap=0.001), module(7, delay=0.007),
                       Module(SHORT, delay=0.009), module(8, delay=0.011), module(9, delay=1.0)],
        }
        for name in cases:
            if name not in cls.fakes:
                cls.fakes[name] = cls.serve(modules.get(name, []))
        # The destination port does not resolve: the sender fails. Its own
        # fake only holds the source port, and must see nothing.
        cls.fakes["sender fails"] = cls.serve([])
        cases["sender fails"] = ["/sport", str(cls.fakes["sender fails"].port), "/cport", "-1"]
        arg_lists = []
        for name, switches in cases.items():
            ports = port_switches(cls.fakes[name].port) if name not in ("udp mode", "sender fails") else []
            arg_lists.append(["/terac"] + ports + switches + ["/v"])
        cls.runs = dict(zip(cases, run_all(arg_lists)))

    def output(self, name, report=True):
        """The lines of a run, its exit code and address report checked; the
        lines from the settings line on are returned."""
        run = self.runs[name]
        self.assertEqual(run.code, 0, name)
        lines = run.texts()
        if report:
            self.assertTrue(lines and lines[0].startswith(b"Local Addresses: 127."), lines[:1])
            self.local = lines[0][len(b"Local Addresses: "):].rstrip(b",")
            lines = lines[1:]
        return lines

    def query_source(self, name):
        queries = self.fakes[name].queries()
        self.assertEqual(len(queries), 1, name)
        return queries[0].source

    def test_query_leaves_from_each_local_address_and_the_listening_port(self):
        self.assertEqual(self.output("default"), [settings_line(PORT), b"Sender started at: " + self.local]
                         + shown(1) + [b"RECV Timeout", b"Sender stopped"])
        self.assertEqual(self.query_source("default"), (self.local.decode(), PORT))

    def test_bad_names_the_one_source_address(self):
        port = self.fakes["bad local"].port
        self.assertEqual(self.output("bad local"), [b"Bind to Address: 127.0.0.1", settings_line(port),
                                                    b"Sender started at: 127.0.0.1"]
                         + shown(4) + [b"RECV Timeout", b"Sender stopped"])
        self.assertEqual(self.query_source("bad local"), ("127.0.0.1", port))

    def test_failed_bind_is_silent_and_replies_come_to_the_port_the_system_chose(self):
        port = self.fakes["bad foreign"].port
        self.assertEqual(self.output("bad foreign"), [b"Bind to Address: 10.1.2.3", settings_line(port),
                                                      b"Sender started at: 10.1.2.3"]
                         + shown(5) + [b"RECV Timeout", b"Sender stopped"])
        source_port = self.query_source("bad foreign")[1]
        # wine accepts a bind to an address the host does not have: it binds
        # every local address on that port instead, so the query leaves from
        # the listening port there.
        if not ON_WINDOWS_BUILD:
            self.assertNotEqual(source_port, port)

    def test_b_sends_to_the_broadcast_address_from_a_port_the_system_chose(self):
        port = self.fakes["b"].port
        self.assertEqual(self.output("b", report=False), [settings_line(port),
                                                          b"Sender started at: 255.255.255.255"]
                         + shown(3) + [b"RECV Timeout", b"Sender stopped"])
        self.assertNotEqual(self.query_source("b")[1], port)

    def test_failed_destination_sends_nothing_and_waits_for_nothing(self):
        run = self.runs["sender fails"]
        port = self.fakes["sender fails"].port
        self.assertEqual(self.output("sender fails"), [
            b" IP: 0.0.0.0   Mask: 0.0.0.0   Gateway: 0.0.0.0   MAC:    Ports: -1 %d 8462" % port,
            b"!Sender failed with error code: 10109 : Other Winsock error (10109)",
            b"Sender stopped",
            NOT_FOUND,
        ])
        self.assertLess(run.ended - run.lines[0][0], SILENCE / 2)
        self.assertEqual(self.fakes["sender fails"].received, [])

    def test_udp_mode_gives_way_but_its_ports_stay(self):
        # /u after /terac sets both UDP ports to 53001; only the Teracom query
        # goes there, and no UDP command.
        self.assertEqual(self.output("udp mode"), [
            b" IP: 127.0.0.1   Mask: 255.255.255.0   Gateway: 127.0.0.254   MAC:    Ports: 53001 53001 8462",
            b"Sender started at: " + self.local] + shown(2) + [b"RECV Timeout", b"Sender stopped"])
        self.assertEqual([d.data for d in self.fakes["udp mode"].received], [b"Discovery: Who is out there?"])

    def test_silence_of_2000_ms_ends_the_wait_also_with_f(self):
        for name in ("silence", "fast"):
            with self.subTest(name):
                self.assertEqual(self.output(name), [settings_line(self.fakes[name].port),
                                                     b"Sender started at: " + self.local,
                                                     b"RECV Timeout", b"Sender stopped", NOT_FOUND])
                queried = self.fakes[name].queries()[0].at
                self.assertWithin(self.runs[name].at(b"RECV Timeout") - queried, SILENCE)

    def test_dropped_reply_restarts_the_wait_without_a_pause(self):
        name = "late short reply"
        self.assertEqual(self.output(name), [settings_line(self.fakes[name].port),
                                             b"Sender started at: " + self.local,
                                             b"RECV Timeout", b"Sender stopped", NOT_FOUND])
        sent = self.fakes[name].sent_times()[0]
        self.assertWithin(self.runs[name].at(b"RECV Timeout") - sent, SILENCE)

    def test_each_reply_taken_pauses_100_ms(self):
        name = "pauses"
        duplicate = shown(6)[:2]
        self.assertEqual(self.output(name), [settings_line(self.fakes[name].port),
                                             b"Sender started at: " + self.local]
                         + shown(6) + duplicate + shown(7) + shown(8) + shown(9)
                         + [b"RECV Timeout", b"Sender stopped"])
        run = self.runs[name]
        received = [run.at(b"Received from: ", nth) for nth in range(5)]
        for nth in range(1, 4):
            self.assertWithin(received[nth] - received[nth - 1], PAUSE, "reply %d" % nth)
        late_sent = self.fakes[name].sent_times()[-1]
        self.assertWithin(received[4] - late_sent, 0.0, "late reply")
        self.assertWithin(run.at(b"RECV Timeout") - received[4], PAUSE + SILENCE)


if __name__ == "__main__":
    unittest.main()
