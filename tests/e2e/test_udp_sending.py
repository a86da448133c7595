"""UDP command mode (/u): what goes out of a command. The whole command or
each ";" field as one datagram from a fresh source port, the fixed pauses,
the echo lines, and the listening window that starts when the last command
went out."""
import unittest

from udp_support import (DEVICE_ADDRESS, HOST_ADDRESS, PASS, SLACK, UDP_PORT, WINDOW, Datagrams, Reply, UdpCase,
                         psulan)


class HelpExample(UdpCase):
    def test_three_datagrams_to_port_53001_from_fresh_ports(self):
        # The instrument is another host, so it can use 53001 like the listener.
        host = self.second_host()
        fake = self.serve_udp(Datagrams({"*IDN?": Reply.delayed(0.01, b"RI,PSU 3000")}), host=DEVICE_ADDRESS,
                              port=UDP_PORT, reply_port=UDP_PORT, netns=host.netns)
        cases = [([], [b"RI,PSU 3000"]), (["/n"], [b"[initnet]", b"[*IDN?]", b"RI,PSU 3000", b"[disconnect]"])]
        for count, (switches, lines) in enumerate(cases, start=1):
            with self.subTest(switches=switches):
                run = psulan(["/u", "/ip", DEVICE_ADDRESS, "/cmd", "initnet;*IDN?;disconnect"] + switches)
                self.assertEqual((run.code, run.lines()), (0, lines))
                got = fake.wait_datagrams(3 * count)[-3:]
                self.assertEqual([d.data for d in got], [b"initnet", b"*IDN?", b"disconnect"])
                self.assertEqual({d.source[0] for d in got}, {HOST_ADDRESS})
                self.assertEqual(len({d.source[1] for d in got}), 3)
                self.assertNotIn(UDP_PORT, {d.source[1] for d in got})
                for before, after in zip(got, got[1:]):
                    # 300 ms after each field, plus at most one pass of the loop.
                    self.assertGreaterEqual(after.at - before.at, 0.300)
                    self.assertLessEqual(after.at - before.at, 0.300 + PASS + SLACK)


class SplitFields(UdpCase):
    def test_fields_pauses_and_echo(self):
        fake = self.serve_udp(Datagrams())
        cases = [
            ("a; ;b", [b"a", b"b"], [b"[a]", b"[ wait 500 ms ]", b"[b]"]),
            ("a;;b", [b"a"], [b"[a]"]),                  # an empty field ends the sends
            ("a;", [b"a"], [b"[a]"]),
            (";a", [], []),                              # so does an empty first field
            (" a;  ; b", [b" a", b"  ", b" b"], [b"[ a]", b"[  ]", b"[ b]"]),  # nothing trimmed
            ("x\x7f\x01y;z", [b"x\x7f\x01y", b"z"], [b"[x\x7f\x01y]", b"[z]"]),
        ]
        for command, sent, lines in cases:
            with self.subTest(command=command):
                before = len(fake.received())
                run = self.udp(["/cmd", command.encode("latin-1"), "/n"], fake)
                self.assertEqual((run.code, run.lines()), (0, lines))
                self.assertEqual(fake.received()[before:], sent)

    def test_binary_commands_go_whole_as_one_datagram(self):
        fake = self.serve_udp(Datagrams())
        # /mod: 59 is 0x3B; the first two bytes, the transaction id, come from the uptime.
        cases = [(["/d", "/hex", "61 3B 3B 62"], b"a;;b", 0),
                 (["/mod", "3", "59", "2"], b"\x00\x00\x00\x06\x01\x03\x00\x3b\x00\x02", 2)]
        for switches, rest, skip in cases:
            before = len(fake.received())
            self.assertEqual(self.udp(switches, fake).lines(), [])
            sent = fake.received()[before:]
            self.assertEqual([d[skip:] for d in sent], [rest])
            self.assertEqual(len(sent[0]), skip + len(rest))

    def test_space_field_pauses_500_ms(self):
        fake = self.serve_udp(Datagrams())
        self.udp(["/cmd", "a; ;b"], fake)
        first, second = fake.wait_datagrams(2)
        # 300 ms after a, 500 ms for the space, at most two passes of the loop.
        self.assertGreaterEqual(second.at - first.at, 0.800)
        self.assertLessEqual(second.at - first.at, 0.800 + 2 * PASS + SLACK)


class Window(UdpCase):
    def test_listening_ends_a_window_after_the_last_command(self):
        fake = self.serve_udp(Datagrams())
        cases = [
            (["/cmd", "x"], [], WINDOW),                    # single: no echo, no pause
            (["/cmd", "x", "/n"], [], WINDOW),
            (["/d", "/cmd", "x", "/n"], [b"[x]"], 0.300 + WINDOW),  # a field: 300 ms after it
            (["/cmd", "x; "], [], 0.300 + 0.500 + WINDOW),  # pauses after it add to the window
        ]
        for count, (args, lines, after) in enumerate(cases, start=1):
            with self.subTest(args=args):
                run = self.udp(args, fake)
                self.assertEqual((run.code, run.lines()), (0, lines))
                last = fake.wait_datagrams(count)[-1]
                self.assertEqual(last.data, b"x")
                self.assertDuration(run.ended - last.at, after)


if __name__ == "__main__":
    unittest.main()
