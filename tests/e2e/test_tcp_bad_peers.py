"""TCP command session against peers that misbehave: closing at once, resets,
odd bytes, and Modbus answers of any length."""
import re
import unittest

from tcp_support import (EOL, ON_WINDOWS_BUILD, FakeCase, Modbus, Raw, Reply, Scpi, decode_modbus, ended, hex_list, psulan,
                         target, transform)


def garbage(length, seed=11):
    return bytes((i * 37 + seed) % 256 for i in range(length))


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
                self.assertLess(run.seconds, 1.5)

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
        reply = bytes(range(256)) + b"\xff\x00\n"
        fake = self.serve(Scpi({"DUMP?": Reply.now(reply)}))
        run = psulan(target(fake) + ["/cmd", "DUMP?"])
        self.assertEqual(run.out, transform(reply) + EOL)

    def test_binary_reply_of_nul_and_ff(self):
        reply = b"\x00\xff" * 40
        fake = self.serve(Raw(Reply.now(reply)))
        run = psulan(target(fake) + ["/hex", "0102"])
        self.assertEqual(run.out, hex_list(reply) + EOL)


class GarbageModbusReplies(FakeCase):
    VIEWS = {0: [], 1: ["/mbi"], 2: ["/mbl"], 4: ["/mbb"], 5: ["/mbs"]}

    def test_lengths(self):
        for length in (1, 8, 9, 10, 11, 300, 65536):
            for seed in (11, 0xFA):   # the second pattern makes some replies end in 0A / 0D 0A
                data = garbage(length, seed)
                fake = self.serve(Modbus(override=Reply.now(data)))
                for view, switches in self.VIEWS.items():
                    with self.subTest(length=length, seed=seed, view=view):
                        run = psulan(target(fake) + switches + ["/mod", "3", "0", "1"])
                        self.assertEqual(run.code, 0)
                        self.assertEqual(run.out, decode_modbus(transform(data), view) + EOL)
                # Floats: one line, whatever the values.
                run = psulan(target(fake) + ["/mbf", "/mod", "3", "0", "1"])
                self.assertEqual((run.code, len(run.lines())), (0, 1))

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

    def test_function_five_view_on_short_replies(self):
        for length in (9, 10, 11, 12):
            data = garbage(length, 3)
            fake = self.serve(Modbus(override=Reply.now(data)))
            with self.subTest(length=length):
                run = psulan(target(fake) + ["/mbi", "/mod", "5", "1", "xFF00"])
                self.assertEqual(run.out, decode_modbus(transform(data), 1, function=5) + EOL)


if __name__ == "__main__":
    unittest.main()
