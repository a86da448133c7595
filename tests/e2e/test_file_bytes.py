"""Command-file session over TCP: the bytes of each line go out as they
stand, whatever the file holds: line ends LF and CR LF, a lone CR, NUL and
0xFF bytes, a 1 MiB line, a last line without a line end; and they come
back whole in the output lines."""
import unittest

from file_support import CommandFileCase
from psulan_run import ON_WINDOWS_BUILD
from tcp_support import EOL, SLACK, SWITCH_PAUSE, Reply, Scpi, ended, psulan, target

MIB_LINE = bytes(0x20 + i % 0x5F for i in range(1 << 20))


class LineBytes(CommandFileCase):
    def test_lines_go_out_as_they_stand(self):
        fake = self.serve(Scpi())
        cases = [
            ([], b"a\nb\r\nc", b"a\nb\nc\n"),
            ([], b"a\x00b\n\xff\xfe\x80\n", b"a\x00b\n\xff\xfe\x80\n"),
            ([], b"c\rd\n\r\r\n", b"c\rd\n\r\n"),               # a CR without LF stays in the line
            ([], b"x\n" + MIB_LINE + b"\ny", b"x\n" + MIB_LINE + b"\ny\n"),
            ([], b"\n\n", b""),                                   # two pauses, nothing sent
            (["/cr"], b"a\r\nb", b"a\rb\r"),
            (["/crlf"], b"a\nb\n", b"a\r\nb\r\n"),
            (["/xis"], b"A\\nB\\z\\sC\\Z\n", b"A\nB\x00 C\\Z\n"),
        ]
        for count, (switches, data, sent) in enumerate(cases, start=1):
            with self.subTest(data=data[:20], switches=switches):
                run = psulan(target(fake) + switches + ["/waitl", "0", "/waitp", "0", "/cfl", self.command_file(data)])
                self.assertEqual((run.code, run.out), (0, b""))
                self.assertEqual(ended(fake, count)[count - 1].data, sent)


    def test_a_long_line_with_zero_bytes_and_no_line_end(self):
        fake = self.serve(Scpi(default=Reply.now(b"ok\n")))
        query = b"*IDN?" + MIB_LINE + b"\x00end"
        hex_lines = b"01 02\x00 03\n" + b"AB" * (1 << 19) + b"\nFF"
        cases = [
            # switches, file, bytes sent, output, fixed waits: one query's reply
            # (50 ms quiet end) or three hex lines (100 ms each)
            (["/n", "/cfl"], query, query + b"\n", b"ok\t [" + query + b"]" + EOL, 0.050),
            # A hex line ends at its first byte that is not a hex digit.
            (["/hfl"], hex_lines, b"\x01\x02" + b"\xab" * (1 << 19) + b"\xff", (b"No Data" + EOL) * 3, 0.300),
        ]
        for count, (switches, data, sent, out, waits) in enumerate(cases, start=1):
            with self.subTest(switches=switches):
                run = psulan(target(fake) + ["/waitl", "0"] + switches + [self.command_file(data)])
                self.assertEqual(run.code, 0)
                self.assertTrue(run.out == out, run.out[:80])
                self.assertTrue(ended(fake, count)[count - 1].data == sent)
                fixed = (3 + len(switches)) * SWITCH_PAUSE + waits
                # No wait beyond the fixed ones: moving 1 MiB through a wine
                # console takes 1 to 1.5 s on an idle 2-core machine and several
                # seconds on a loaded one; its speed is measured in bench/.
                self.assertLess(run.seconds, fixed + SLACK + (10.0 if ON_WINDOWS_BUILD else 3.0))


if __name__ == "__main__":
    unittest.main()
