"""Command-file session over TCP (/cfl, /hfl): which lines wait for replies,
pauses, hex lines, the error query of /vv, echo and verbose lines, and the
connect failure. One connection carries the whole file."""
import re
import unittest

from file_support import CommandFileCase
from tcp_support import EOL, Modbus, Raw, Reply, Scpi, ended, free_port, psulan, target


class Pauses(CommandFileCase):
    def test_empty_file_is_one_pause(self):
        fake = self.serve(Scpi())
        path = self.command_file(b"")
        cases = [
            ([], b"", 1.0),
            (["/n"], b" Wait 1000 ms" + EOL, 1.0),
            (["/waitp", "300", "/n"], b" Wait 300 ms" + EOL, 0.3),
        ]
        for count, (switches, out, pause) in enumerate(cases, start=1):
            with self.subTest(switches=switches):
                run = psulan(target(fake) + switches + ["/cfl", path])
                self.assertEqual((run.code, run.out), (0, out))
                connection = ended(fake, count)[count - 1]
                self.assertEqual(connection.data, b"")
                self.assertDuration(connection.closed_at - connection.accepted_at, pause)

    def test_line_delay_after_every_line(self):
        fake = self.serve(Scpi())
        path = self.command_file(b"a\nb\n\nc")
        run = psulan(target(fake) + ["/waitl", "200", "/waitp", "300", "/cfl", path])
        self.assertEqual((run.code, run.out), (0, b""))
        chunks = ended(fake, 1)[0].chunks
        self.assertEqual([data for _, data in chunks], [b"a\n", b"b\n", b"c\n"])
        self.assertDuration(chunks[1][0] - chunks[0][0], 0.200)
        self.assertDuration(chunks[2][0] - chunks[1][0], 0.200 + 0.300)  # line delay, then the pause


class Queries(CommandFileCase):
    def test_first_question_mark_from_the_third_character_reads_a_reply(self):
        # The instrument answers every line, late: only lines read as queries wait for it.
        fake = self.serve(Scpi(default=Reply.delayed(0.3, b"late\n")))
        cases = [
            (b"*IDN?", True),
            (b"ab?", True),
            (b"MEAS:VOLT?", True),
            (b"?", False),
            (b"a?", False),
            (b"?ab?", False),
            (b"VOLT 1", False),
        ]
        for count, (line, query) in enumerate(cases, start=1):
            with self.subTest(line=line):
                run = psulan(target(fake) + ["/cfl", self.command_file(line + b"\n")])
                self.assertEqual((run.code, run.out), (0, b"late" + EOL if query else b""))
                self.assertEqual(ended(fake, count)[count - 1].data, line + b"\n")

    def test_reply_left_unread_comes_with_the_next_query(self):
        fake = self.serve(Scpi({"VOLT 1": Reply.now(b"ok\n"), "*IDN?": Reply.now(b"ID\n")}))
        run = psulan(target(fake) + ["/cfl", self.command_file(b"VOLT 1\n*IDN?\n")])
        self.assertEqual((run.code, run.out), (0, b"ok\nID" + EOL))

    def test_query_waits_the_full_response_timeout(self):
        # 2001 ms by default (no 100 ms rule here), then the next line goes out.
        fake = self.serve(Scpi())
        cases = [([], 2.001), (["/f"], 0.100)]
        for count, (switches, wait) in enumerate(cases, start=1):
            with self.subTest(switches=switches):
                run = psulan(target(fake) + switches + ["/cfl", self.command_file(b"MEAS?\nX\n")])
                self.assertEqual((run.code, run.out), (0, b""))
                chunks = ended(fake, count)[count - 1].chunks
                self.assertEqual(b"".join(data for _, data in chunks), b"MEAS?\nX\n")
                self.assertDuration(chunks[-1][0] - chunks[0][0], 0.005 + wait)

    def test_reply_in_pieces(self):
        # Pieces less than 50 ms apart make one reply; one line end comes off.
        fake = self.serve(Scpi({"RD?": Reply.pieces([b"1.5,", b"2.5\r\n"], 0.03)}))
        run = psulan(target(fake) + ["/cfl", self.command_file(b"RD?")])
        self.assertEqual((run.code, run.out), (0, b"1.5,2.5" + EOL))


class HexLines(CommandFileCase):
    def test_hex_lines_and_pauses(self):
        fake = self.serve(Modbus())
        path = self.command_file(b"0001 0000 0006 01 03 0064 00FF\n   \nx1\n0102\n")
        run = psulan(target(fake) + ["/waitp", "100", "/n", "/hfl", path])
        self.assertEqual(run.code, 0)
        self.assertEqual(run.lines(), [
            b"[00 01 00 00 00 03 01 83 03]\t [00 01 00 00 00 06 01 03 00 64 00 FF]",
            b" Wait 100 ms",
            b" Wait 100 ms",
            b"No Data\t [01 02]",
        ])
        self.assertEqual(ended(fake, 1)[0].data, bytes.fromhex("0001 0000 0006 01 03 0064 00FF 0102"))

    def test_question_mark_byte_from_the_third_position_reads_a_reply(self):
        # First the binary reply (one piece within 100 ms), then the query read.
        fake = self.serve(Raw(Reply.pieces([b"AB", b"CD\n"], 0.2)))
        cases = [
            (b"01 02 3F", [b"No Data", b"CD"]),
            (b"01 3F 02", [b"No Data"]),
            (b"3F3F3F", [b"No Data"]),
        ]
        for line, lines in cases:
            with self.subTest(line=line):
                run = psulan(target(fake) + ["/hfl", self.command_file(line)])
                self.assertEqual((run.code, run.lines()), (0, lines))


class OutputLines(CommandFileCase):
    def test_echo_only_with_n_v_or_vv(self):
        fake = self.serve(Scpi({"MEAS?": Reply.now(b"1.5\n"), "syst:err?": Reply.now(b'0,"No error"\n')}))
        path = self.command_file(b"MEAS?\n\nVOLT 1")
        cases = [
            ([], [b"1.5"]),
            (["/n"], [b"1.5\t [MEAS?]", b" Wait 50 ms"]),
            (["/v"], [b"TCP Create", b"TCP for: 127.0.0.1 MEAS?", b"1.5\t [MEAS?]", b" Wait 50 ms",
                      b"TCP for: 127.0.0.1 VOLT 1", b"TCP Stopped"]),
            (["/vv"], [b"TCP Create", b"TCP for: 127.0.0.1 MEAS?", b"1.5\t [MEAS?]", b'0,"No error"\t [MEAS?]',
                       b" Wait 50 ms", b"TCP for: 127.0.0.1 VOLT 1", b'0,"No error"\t [VOLT 1]', b"TCP Stopped"]),
        ]
        for count, (switches, lines) in enumerate(cases, start=1):
            with self.subTest(switches=switches):
                run = psulan(target(fake) + switches + ["/waitp", "50", "/cfl", path])
                self.assertEqual(run.code, 0)
                # /v and /vv print the settings line before the session.
                shown = run.lines()[1:] if switches[:1] in (["/v"], ["/vv"]) else run.lines()
                self.assertEqual(shown, lines)
        sent = [c.data for c in ended(fake, 4)]
        self.assertEqual(sent[:3], [b"MEAS?\nVOLT 1\n"] * 3)
        self.assertEqual(sent[3], b"MEAS?\nsyst:err?\nVOLT 1\nsyst:err?\n")

    def test_verbose_receive_failures(self):
        cases = [
            (Scpi(), ["/f"], b"Response Timeout!"),
            (Scpi({"MEAS?": Reply.close()}), [], b"Recv error: 10054 Connection reset by peer"),
        ]
        for personality, switches, failure in cases:
            with self.subTest(failure=failure):
                fake = self.serve(personality)
                path = self.command_file(b"MEAS?\n")
                quiet = psulan(target(fake) + switches + ["/cfl", path])
                self.assertEqual((quiet.code, quiet.out), (0, b""))
                run = psulan(target(fake) + switches + ["/v", "/xti", "/cfl", path])
                stamp = rb"\t\d\d:\d\d:\d\d\.\d{3}"
                pattern = [rb"TCP Create", rb"TCP for: 127\.0\.0\.1 MEAS\?", re.escape(failure) + stamp,
                           rb"TCP Stopped" + stamp]
                lines = run.lines()[1:]  # after the settings line
                self.assertEqual(len(lines), len(pattern), lines)
                for line, expected in zip(lines, pattern):
                    self.assertRegex(line, b"^" + expected + b"$")

    def test_connect_failure(self):
        path = self.command_file(b"*IDN?\n")
        port = str(free_port())
        refused = b"!TCP failed with error code 10061 : Connection refused"
        quiet = psulan(["/ip", "127.0.0.1", "/tport", port, "/cfl", path])
        self.assertEqual((quiet.code, quiet.lines()), (0, [refused]))
        verbose = psulan(["/ip", "127.0.0.1", "/tport", port, "/v", "/cfl", path])
        self.assertEqual(verbose.code, 0)
        self.assertEqual(verbose.lines()[1:], [b"TCP Create", refused, b"TCP Stopped"])

    def test_resolve_name_line_after_connecting(self):
        fake = self.serve(Scpi({"VQ?": Reply.now(b"7\n")}))
        run = psulan(target(fake) + ["/o", "/cfl", self.command_file(b"VQ?\n")])
        self.assertEqual(run.code, 0)
        self.assertRegex(run.out, b"^Resolving name from: 127\\.0\\.0\\.1, hostname: [^\r\n]+" + re.escape(EOL)
                         + b"7" + re.escape(EOL) + b"$")


if __name__ == "__main__":
    unittest.main()
