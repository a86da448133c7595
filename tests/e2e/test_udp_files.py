"""UDP command mode (/u) with a command file (/cfl, /hfl): every line goes
out as one datagram, in order and as it stands, with a 1 s pause for each
empty line; the window starts when the last line went out."""
import unittest

from udp_support import PASS, SLACK, WINDOW, Datagrams, UdpCase


class FileLines(UdpCase):
    def test_every_line_goes_out_in_order(self):
        # An instrument that never answers: all 100 lines, then one window.
        fake = self.serve_udp(Datagrams())
        lines = [b"line %03d" % i for i in range(100)]
        run = self.udp(["/cfl", self.command_file(b"\n".join(lines) + b"\n")], fake, timeout=120)
        self.assertEqual((run.code, run.out), (0, b""))
        got = fake.wait_datagrams(100)
        self.assertEqual([d.data for d in got], lines)
        self.assertEqual(len({d.source[1] for d in got[:2]}), 2)
        self.assertDuration(run.ended - got[-1].at, WINDOW)

    def test_lines_pauses_and_echo(self):
        fake = self.serve_udp(Datagrams())
        path = self.command_file(b"a\n\n b\n0102 ABCD\r\nlast")
        sent = [b"a", b" b", b"0102 ABCD", b"last"]
        cases = [
            (["/cfl", path], []),
            (["/cfl", path, "/n"], [b"[a]", b" Wait 1 s", b"[ b]", b"[0102 ABCD]", b"[last]"]),
            (["/hfl", path, "/n"], [b"[a]", b" Wait 1 s", b"[ b]", b"[0102 ABCD]", b"[last]"]),  # as text
        ]
        for count, (args, lines) in enumerate(cases, start=1):
            with self.subTest(args=args):
                run = self.udp(args, fake)
                self.assertEqual((run.code, run.lines()), (0, lines))
                got = fake.wait_datagrams(4 * count)[-4:]
                self.assertEqual([d.data for d in got], sent)
                self.assertGreaterEqual(got[1].at - got[0].at, 1.0)  # the empty line
                self.assertLessEqual(got[1].at - got[0].at, 1.0 + 2 * PASS + SLACK)

    def test_bytes_of_a_line_as_they_stand(self):
        # NUL, 0xFF and a lone CR stay in the line; a line too long for a datagram
        # does not go out, its failed send is reported, and the lines after it go.
        fake = self.serve_udp(Datagrams())
        data = b"a\x00b\nc\rd\r\n\xff\xfe\n" + b"x" * (1 << 20) + b"\nlast"
        run = self.udp(["/cfl", self.command_file(data)], fake)
        self.assertEqual((run.code, run.lines()), (0, [b"!Sender failed with error code: 10040 : Message too long"]))
        self.assertEqual(fake.received(), [b"a\x00b", b"c\rd", b"\xff\xfe", b"last"])

    def test_empty_file_sends_nothing(self):
        fake = self.serve_udp(Datagrams())
        run = self.udp(["/cfl", self.command_file(b""), "/n"], fake)
        self.assertEqual((run.code, run.lines()), (0, []))
        self.assertEqual(fake.received(), [])


if __name__ == "__main__":
    unittest.main()
