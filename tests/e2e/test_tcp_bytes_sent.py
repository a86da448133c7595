"""TCP command session: exactly which bytes go to the instrument, and where."""
import unittest

from tcp_support import ON_WINDOWS_BUILD, FakeCase, Modbus, Raw, Reply, Scpi, ended, hex_list, psulan, target


class TextCommands(FakeCase):
    def test_line_terminators(self):
        fake = self.serve(Scpi(default=Reply.now(b"OK\n")))
        cases = [
            ([], b"*IDN?\n"),
            (["/cr"], b"*IDN?\r"),
            (["/crlf"], b"*IDN?\r\n"),
            (["/crlf", "/cr"], b"*IDN?\r"),
        ]
        for count, (switches, sent) in enumerate(cases, start=1):
            with self.subTest(switches=switches):
                run = psulan(target(fake) + switches + ["/cmd", "*IDN?"])
                self.assertEqual(run.code, 0)
                self.assertEqual(ended(fake, count)[count - 1].data, sent)
                self.assertEqual(run.lines(), [b"OK"])

    def test_command_bytes_unchanged(self):
        # Blanks, quotes from '' pairs and high bytes travel as given.
        fake = self.serve(Scpi())
        cases = [
            ("sour:volt 10 ;outp on", b"sour:volt 10 ;outp on\n"),
            ("syst:text ''a b''", b'syst:text "a b"\n'),
        ]
        if not ON_WINDOWS_BUILD:
            # Under wine, argument bytes above 0x7F pass through code-page conversions.
            cases.append((b"\xff\x80 x".decode("latin-1"), b"\xff\x80 x\n"))
        for count, (command, sent) in enumerate(cases, start=1):
            with self.subTest(command=command):
                run = psulan(target(fake) + ["/cmd", command.encode("latin-1")])
                self.assertEqual(run.code, 0)
                self.assertEqual(ended(fake, count)[count - 1].data, sent)

    def test_one_connection_per_command(self):
        fake = self.serve(Scpi(default=Reply.now(b"1\n")))
        psulan(target(fake) + ["/cmd", "a?"])
        psulan(target(fake) + ["/cmd", "b?"])
        self.assertEqual([c.data for c in ended(fake, 2)], [b"a?\n", b"b?\n"])


class HexCommands(FakeCase):
    def test_hex_bytes_go_without_terminator(self):
        fake = self.serve(Raw(Reply.now(b"\x01\x02")))
        cases = [
            ("01 02 0a FF", b"\x01\x02\x0a\xff", []),
            ("0001 0000 0006 00 05 0065 FF00", bytes.fromhex("0001 0000 0006 00 05 0065 FF00"), []),
            ("0D0A", b"\r\n", ["/crlf"]),
        ]
        for count, (text, sent, switches) in enumerate(cases, start=1):
            with self.subTest(hex=text):
                run = psulan(target(fake) + switches + ["/hex", text])
                self.assertEqual(run.code, 0)
                self.assertEqual(ended(fake, count)[count - 1].data, sent)


class ModbusRequests(FakeCase):
    def test_twelve_bytes(self):
        cases = [
            (["/mod", "3", "100", "255"], "0000 0006 01 03 0064 00FF"),
            (["/mde", "5", "/mod", "3", "100", "255"], "0000 0006 05 03 0064 00FF"),
            (["/mod", "3", "100", "255", "/mde", "5"], "0000 0006 01 03 0064 00FF"),
            (["/mde", "x1FF", "/mod", "x10004", "x12345", "0x1FFFF"], "0000 0006 FF 04 2345 FFFF"),
            (["/mod", "6", "7", "65535"], "0000 0006 01 06 0007 FFFF"),
        ]
        for args, rest in cases:
            with self.subTest(args=args):
                fake = self.serve(Modbus())
                run = psulan(["/ip", "127.0.0.1"] + args + ["/tport", str(fake.port)])
                self.assertEqual(run.code, 0)
                sent = ended(fake, 1)[0].data
                self.assertEqual(len(sent), 12)
                self.assertEqual(sent[2:], bytes.fromhex(rest))

    def test_port_502_rule(self):
        # Root inside the private namespace may listen on 502.
        for port, args in [
            (502, ["/mod", "3", "1", "1"]),
            (502, ["/tport", "8462", "/mod", "3", "1", "1"]),
            (503, ["/tport", "503", "/mod", "3", "1", "1"]),
            (503, ["/mod", "3", "1", "1", "/tport", "503"]),
            (3490, ["/mod", "3", "1", "1", "/fluke"]),
        ]:
            with self.subTest(args=args):
                fake = self.serve(Modbus(holding={1: 0x1234}), port=port)
                run = psulan(["/ip", "127.0.0.1"] + args)
                self.assertEqual(run.code, 0)
                sent = ended(fake, 1)[0].data
                self.assertEqual(sent[2:], bytes.fromhex("0000 0006 01 03 0001 0001"))
                self.assertEqual(run.lines(), [hex_list(sent[:2] + bytes.fromhex("0000 0005 01 03 02 1234"))])
                fake.stop()


if __name__ == "__main__":
    unittest.main()
