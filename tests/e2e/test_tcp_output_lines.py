"""TCP command session: the printed lines (echo, verbose, timestamps, /xc /xsk,
connect failures, /o)."""
import datetime
import re
import unittest

from tcp_support import EOL, FakeCase, Raw, Reply, Scpi, ended, free_port, hex_list, psulan, target


class ReplyLines(FakeCase):
    def test_echo(self):
        fake = self.serve(Scpi({"*IDN?": Reply.now(b"RI,PSU 3000,123,1.2\r\n")}))
        idn = b"RI,PSU 3000,123,1.2"
        for switches, lines in [([], [idn]), (["/n"], [idn + b"\t [*IDN?]"])]:
            with self.subTest(switches=switches):
                run = psulan(target(fake) + ["/cmd", "*IDN?"] + switches)
                self.assertEqual((run.code, run.lines()), (0, lines))

    def test_binary_echo(self):
        fake = self.serve(Raw(Reply.now(bytes.fromhex("0001 0000 0005 01 03 02 0102"))))
        run = psulan(target(fake) + ["/hex", "0001 0000 0006 01 03 0000 0001", "/n"])
        self.assertEqual(run.code, 0)
        self.assertEqual(run.lines(), [hex_list(bytes.fromhex("0001 0000 0005 01 03 02 0102")) + b"\t "
                                       + hex_list(bytes.fromhex("0001 0000 0006 01 03 0000 0001"))])

    def test_reply_bytes_printed_as_received(self):
        # One line end comes off; NUL, 0xFF and inner line ends stay.
        cases = [
            (b"a\x00b\xff\n", b"a\x00b\xff"),
            (b"x\r\n\r\n", b"x\r\n"),
            (b"x\n\n", b"x\n"),
            (b"x\r", b"x"),
            (b"\n", b""),
            (b"\x00", b"\x00"),
        ]
        for reply, shown in cases:
            with self.subTest(reply=reply):
                fake = self.serve(Scpi({"Q?": Reply.now(reply)}))
                run = psulan(target(fake) + ["/cmd", "Q?"])
                self.assertEqual(run.code, 0)
                self.assertEqual(run.out, shown + EOL)

    def test_comma_and_decimal_switches(self):
        fake = self.serve(Scpi({"MEAS?": Reply.now(b"1.5,2.5,-3.25\r\n")}))
        cases = [
            ([], b"1.5,2.5,-3.25"),
            (["/xsk"], b"1,5;2,5;-3,25"),
            (["/xc"], b"1.5\r\n2.5\r\n-3.25"),
            (["/xc", "/xsk"], b"1,5\r\n2,5\r\n-3,25"),
        ]
        for switches, shown in cases:
            with self.subTest(switches=switches):
                run = psulan(target(fake) + switches + ["/cmd", "MEAS?"])
                self.assertEqual(run.out, shown + EOL)

    def test_timestamp_patterns(self):
        fake = self.serve(Scpi({"V?": Reply.now(b"12.5\n")}))
        Y, T, Z = r"(?P<y>\d{4})", r"(?P<m>\d\d)", r"(?P<d>\d\d)"
        clock = r"(?P<H>\d\d):(?P<M>\d\d):(?P<S>\d\d)"
        patterns = {
            "/xtt": "\t" + Y + "-" + T + "-" + Z + "\t" + clock + r"\t(?P<f>\d{3})",
            "/xtc": "\t" + Y + "-" + T + "-" + Z + " " + clock + r"\.(?P<f>\d{3})",
            "/xts": ";" + Y + "-" + T + "-" + Z + ";" + clock + r";(?P<f>\d{3})",
            "/xtk": "\t" + Y + r"\." + T + r"\." + Z + "\t" + clock + r"\.(?P<f>\d{3})",
            "/xtl": "\t" + Y + r"\." + T + r"\." + Z + " " + clock + r"\.(?P<f>\d{3})",
            "/xti": "\t" + clock + r"\.(?P<f>\d{3})",
        }
        for switch, pattern in patterns.items():
            for echo in ([], ["/n"]):
                with self.subTest(switch=switch, echo=echo):
                    before = datetime.datetime.now() - datetime.timedelta(seconds=2)
                    run = psulan(target(fake) + [switch, "/cmd", "V?"] + echo)
                    after = datetime.datetime.now() + datetime.timedelta(seconds=2)
                    head = b"12.5" + (b"\t [V?]" if echo else b"")
                    match = re.fullmatch(re.escape(head) + pattern.encode() + re.escape(EOL), run.out)
                    self.assertIsNotNone(match, run.out)
                    v = {k: int(x) for k, x in match.groupdict().items()}
                    if "y" not in v:
                        v.update(y=before.year, m=before.month, d=before.day)
                        if v["H"] < before.hour:  # the run crossed midnight
                            v.update(y=after.year, m=after.month, d=after.day)
                    stamp = datetime.datetime(v["y"], v["m"], v["d"], v["H"], v["M"], v["S"], v["f"] * 1000)
                    self.assertTrue(before <= stamp <= after, (before, stamp, after))

    def test_last_timestamp_switch_wins(self):
        fake = self.serve(Scpi({"V?": Reply.now(b"1\n")}))
        run = psulan(target(fake) + ["/xtt", "/xti", "/cmd", "V?"])
        self.assertRegex(run.out, rb"^1\t\d\d:\d\d:\d\d\.\d{3}" + re.escape(EOL) + rb"$")


class VerboseLines(FakeCase):
    def test_verbose_exchange(self):
        fake = self.serve(Scpi({"*IDN?": Reply.now(b"ID\n")}))
        run = psulan(["/v"] + target(fake) + ["/cmd", "*IDN?"])
        self.assertEqual(run.code, 0)
        lines = run.lines()
        tail = [b"TCP Create", b"TCP for: 127.0.0.1 *IDN?", b"TCP Stopped", b"ID\t [*IDN?]"]
        self.assertEqual(lines[-4:], tail)

    def test_verbose_binary_and_timeout(self):
        fake = self.serve(Raw(Reply.never()))
        run = psulan(["/v"] + target(fake) + ["/hex", "0102"])
        self.assertEqual(run.lines()[-4:], [b"TCP Create", b"TCP for: 127.0.0.1 [01 02]", b"TCP Stopped",
                                            b"Response Timeout!\t [\x01\x02]"])

    def test_verbose_receive_error(self):
        fake = self.serve(Scpi({"Q?": Reply.close()}))
        run = psulan(["/v"] + target(fake) + ["/cmd", "Q?"])
        self.assertEqual(run.lines()[-5:], [b"TCP Create", b"TCP for: 127.0.0.1 Q?",
                                            b"Recv error: 10054 Connection reset by peer", b"TCP Stopped",
                                            b"TCP Command Error! 10054\t [Q?]"])

    def test_resolve_name(self):
        fake = self.serve(Scpi({"Q?": Reply.now(b"7\n")}))
        run = psulan(target(fake) + ["/o", "/cmd", "Q?"])
        self.assertEqual(run.code, 0)
        # 127.0.0.1 has a name in /etc/hosts (localhost); with no name the address itself shows.
        match = re.fullmatch(rb"Resolving name from: 127\.0\.0\.1, hostname: ([^\r\n]+)" + re.escape(EOL)
                             + rb"7" + re.escape(EOL), run.out)
        self.assertIsNotNone(match, run.out)


class ConnectFailure(FakeCase):
    def test_nothing_listening(self):
        port = str(free_port())
        refused = b"!TCP connect failed with error code 10061 : Connection refused"
        cases = [
            (["/cmd", "*IDN?"], [refused, b""]),
            (["/cmd", "*IDN?", "/n"], [refused, b"\t [*IDN?]"]),
            (["/hex", "0102"], [refused, b"No Data"]),
            (["/hex", "0102", "/n"], [refused, b"No Data\t [01 02]"]),
            (["/d", "/cmd", "a;b"], [refused, b"", refused, b""]),
        ]
        for args, lines in cases:
            with self.subTest(args=args):
                run = psulan(["/ip", "127.0.0.1", "/tport", port] + args)
                self.assertEqual((run.code, run.lines()), (0, lines))

    def test_failure_line_also_in_verbose(self):
        port = str(free_port())
        run = psulan(["/v", "/ip", "127.0.0.1", "/tport", port, "/cmd", "x"])
        self.assertEqual(run.lines()[-4:], [b"TCP Create",
                                            b"!TCP connect failed with error code 10061 : Connection refused",
                                            b"TCP Stopped", b"\t [x]"])


if __name__ == "__main__":
    unittest.main()
