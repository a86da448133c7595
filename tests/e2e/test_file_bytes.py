"""Command-file session over TCP: the bytes of each line go out as they
stand, whatever the file holds: line ends LF and CR LF, a lone CR, NUL and
0xFF bytes, a 1 MiB line, a last line without a line end."""
import unittest

from file_support import CommandFileCase
from tcp_support import Scpi, ended, psulan, target

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


if __name__ == "__main__":
    unittest.main()
