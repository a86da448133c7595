"""TCP command session against peers that misbehave: closing at once, resets,
odd bytes, and Modbus answers of any length that end like text lines."""
import re
import unittest

from tcp_support import EOL, ON_WINDOWS_BUILD, FakeCase, Modbus, Raw, Reply, Scpi, psulan, target


class ClosingPeers(FakeCase):
    def test_text_exchanges(self):
        # peer behaviour, lines without echo
        cases = [
            ({"on_accept": "close"}, Scpi(), b"TCP Command Error! 10054"),
            ({"on_accept": "reset"}, Scpi(), b"TCP Command Error! 10054"),
            ({}, Scpi({"Q?": Reply.close()}), b"TCP Command Error! 10054"),
            ({}, Scpi({"Q?": Reply.reset()}), b"TCP Command Error! 10054"),
            ({}, Scpi({"Q?": Reply([(0, b"bye\n")], then="close")}), b"bye"),
            ({}, Scpi({"Q?": Reply([(0, b"part"), (0.03, b"")], then="reset")}), b"part"),
        ]
        for options, personality, line in cases:
            with self.subTest(options=options, personality=personality.replies):
                fake = self.serve(personality, **options)
                run = psulan(target(fake) + ["/cmd", "Q?"], timeout=20)
                self.assertEqual((run.code, run.out), (0, line + EOL))
                # Not the response time-out: a run that waited it lasts 2.13 s at least
                # (2 s, 10 ms per switch and before the receive, the 100 ms end delay).
                self.assertLess(run.seconds, 2.1)

    def test_binary_exchange_with_closing_peer_shows_text_form(self):
        fake = self.serve(Scpi(), on_accept="reset")
        run = psulan(target(fake) + ["/hex", "01 02 3F", "/n"])
        self.assertEqual(run.out, b"TCP Command Error! 10054\t [\x01\x02?]" + EOL)

    def test_long_command_to_peer_that_resets(self):
        # The send runs into the reset half-way: no broken-pipe death, the usual line.
        fake = self.serve(Scpi(), on_accept="reset")
        # Windows command lines hold at most 32767 characters.
        length = 30000 if ON_WINDOWS_BUILD else 120000
        run = psulan(target(fake) + ["/cmd", "x" * length + "?"], timeout=20)
        self.assertEqual(run.code, 0)
        self.assertRegex(run.out, rb"^TCP Command Error! 100\d\d" + re.escape(EOL) + rb"$")


class OddBytes(FakeCase):
    def test_every_byte_value_in_a_text_reply(self):
        # Text mode: only the final line end goes.
        fake = self.serve(Scpi({"DUMP?": Reply.now(bytes(range(256)) + b"\xff\x00\n")}))
        run = psulan(target(fake) + ["/cmd", "DUMP?"])
        self.assertEqual(run.out, bytes(range(256)) + b"\xff\x00" + EOL)

    def test_binary_reply_of_nul_and_ff(self):
        # Binary mode shows every byte as received, a final CR LF included.
        cases = [
            (b"\x00\xff" * 40, b"[" + b"00 FF " * 39 + b"00 FF]"),
            (b"\x00\xff" * 40 + b"\r\n", b"[" + b"00 FF " * 40 + b"0D 0A]"),
        ]
        for reply, line in cases:
            with self.subTest(reply=reply[-4:]):
                fake = self.serve(Raw(Reply.now(reply)))
                run = psulan(target(fake) + ["/hex", "0102"])
                self.assertEqual(run.out, line + EOL)


# Nine bytes of Modbus header (transaction, protocol, length, unit, function,
# byte count): the views never read them.
HEADER = bytes.fromhex("0001 0000 0006 01 03 02")
HEADER_HEX = b"00 01 00 00 00 06 01 03 02"


class ModbusRepliesEndingLikeLines(FakeCase):
    """Replies of any length that end in 0A or 0D 0A: the views decode the
    bytes as received, so those are register data, not a line end."""
    VIEWS = {"hex": [], "mbi": ["/mbi"], "mbl": ["/mbl"], "mbf": ["/mbf"], "mbb": ["/mbb"], "mbs": ["/mbs"]}

    def check(self, reply, shown):
        """shown: the line for each view in VIEWS."""
        fake = self.serve(Modbus(override=Reply.now(reply)))
        for view, switches in self.VIEWS.items():
            with self.subTest(length=len(reply), view=view):
                run = psulan(target(fake) + switches + ["/mod", "3", "0", "1"])
                self.assertEqual((run.code, run.out), (0, shown[view] + EOL))

    def test_short_replies(self):
        cases = [
            (bytes.fromhex("0001 0000 0002 0D0A"), dict.fromkeys(self.VIEWS, b"No Data")),
            # Nine bytes: the exception size, shown whole in every view.
            (bytes.fromhex("0001 0000 0003 01 0D0A"),
             dict.fromkeys(self.VIEWS, b"[00 01 00 00 00 03 01 0D 0A]")),
            (HEADER + b"\n", {"hex": b"[" + HEADER_HEX + b" 0A]", "mbi": b"10", "mbl": b"-1", "mbf": b"-1E-20",
                              "mbb": b"00001010", "mbs": b"\n"}),
            (HEADER + b"\r\n", {"hex": b"[" + HEADER_HEX + b" 0D 0A]", "mbi": b"3338", "mbl": b"-1",
                                 "mbf": b"-1E-20", "mbb": b"00001101 00001010", "mbs": b"\r\n"}),
            (HEADER + b"\x41\x20\r\n",
             {"hex": b"[" + HEADER_HEX + b" 41 20 0D 0A]", "mbi": b"16672 3338", "mbl": b"1092619530",
              "mbf": b"10.0032", "mbb": b"01000001 00100000 00001101 00001010", "mbs": b"A \r\n"}),
        ]
        for reply, shown in cases:
            self.check(reply, shown)

    def test_long_replies(self):
        # 301 bytes: 145 words 1234 and 0D 0A.
        self.check(HEADER + b"\x12\x34" * 145 + b"\r\n", {
            "hex": b"[" + HEADER_HEX + b" 12 34" * 145 + b" 0D 0A]",
            "mbi": b"4660 " * 145 + b"3338",
            "mbl": b"305402420 " * 72 + b"305401098",
            "mbf": b"0 " * 72 + b"0",
            "mbb": b"00010010 00110100 " * 145 + b"00001101 00001010",
            "mbs": b"\x12\x34" * 145 + b"\r\n",
        })
        # 65536 bytes, as much as one receive delivers: the last group of /mbl
        # has 3 bytes (-1), and /mbi leaves the last byte alone.
        self.check(HEADER + b"\x12\x34" * 32762 + b"\r\r\n", {
            "hex": b"[" + HEADER_HEX + b" 12 34" * 32762 + b" 0D 0D 0A]",
            "mbi": b"4660 " * 32762 + b"3341",
            "mbl": b"305402420 " * 16381 + b"-1",
            "mbf": b"0 " * 16381 + b"-1E-20",
            "mbb": b"00010010 00110100 " * 32762 + b"00001101 00001101 00001010",
            "mbs": b"\x12\x34" * 32762 + b"\r\r\n",
        })

    def test_no_reply_bytes(self):
        cases = [
            (Reply.close(), b"TCP Command Error! 10054"),
            (Reply.never(), b""),
            (Reply.now(b"\n"), b"No Data"),
        ]
        for reply, line in cases:
            with self.subTest(reply=reply):
                fake = self.serve(Modbus(override=reply))
                run = psulan(target(fake) + ["/mod", "3", "0", "1", "/f"])
                self.assertEqual((run.code, run.out), (0, line + EOL))

    def test_function_five_payload_starts_after_the_output_address(self):
        cases = [
            ("0001 0000 0003 01 85 0A", b"[00 01 00 00 00 03 01 85 0A]"),  # exception size
            ("0001 0000 0006 01 05 00 0A", b"-32768"),   # no payload bytes
            ("0001 0000 0006 01 05 00 01 0A", b"10"),
            ("0001 0000 0006 01 05 00 01 FF00", b"65280"),
            ("0001 0000 0006 01 05 00 01 0D0A", b"3338"),
        ]
        for reply, line in cases:
            with self.subTest(reply=reply):
                fake = self.serve(Modbus(override=Reply.now(bytes.fromhex(reply))))
                run = psulan(target(fake) + ["/mbi", "/mod", "5", "1", "xFF00"])
                self.assertEqual(run.out, line + EOL)


if __name__ == "__main__":
    unittest.main()
