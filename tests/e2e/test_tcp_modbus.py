"""TCP command session: Modbus-TCP requests against a simulated server, and every
view of their replies."""
import unittest

from tcp_support import FakeCase, Modbus, ended, hex_list, psulan, target

HOLDING = {
    100: 0x000A, 101: 0xFFFF, 102: 0x0000,
    200: 0x4120, 201: 0x0000, 202: 0x3F9D, 203: 0xF3B6, 204: 0xC2F6, 205: 0xE979, 206: 0xB800, 207: 0x0000,
    300: 0x4142, 301: 0x0000, 302: 0x4344, 303: 0x0000,
    110: 0x2C2E, 111: 0x2E2C,
    400: 0x8000, 401: 0x0001, 402: 0x1234,
}
INPUTS = {5: 1234, 6: 0x00FF}


class Views(FakeCase):
    def setUp(self):
        self.fake = self.serve(Modbus(holding=HOLDING, inputs=INPUTS))
        self.runs = 0

    def line_of(self, args):
        run = psulan(target(self.fake) + args)
        self.assertEqual(run.code, 0)
        self.runs += 1
        request = ended(self.fake, self.runs)[self.runs - 1].data
        self.assertEqual(len(request), 12)
        lines = run.lines()
        self.assertEqual(len(lines), 1, run.out)
        return lines[0], request

    def test_views(self):
        cases = [
            (["/mbi", "/mod", "3", "100", "2"], b"10 65535"),
            (["/mbl", "/mod", "3", "100", "2"], b"720895"),
            (["/mbl", "/mod", "3", "100", "3"], b"720895 -1"),        # a 2-byte tail gives -1
            (["/mbl", "/mod", "3", "400", "2"], b"-2147483647"),
            (["/mbf", "/mod", "3", "200", "2"], b"10"),
            (["/mbf", "/mod", "3", "200", "6"], b"10 1.234 -123.456"),
            (["/mbf", "/mod", "3", "206", "2"], b"0"),              # -0.00003 keeps no decimals: 0
            (["/mbb", "/mod", "3", "100", "2"], b"00000000 00001010 11111111 11111111"),
            (["/mbs", "/mod", "3", "300", "4"], b"AB\tCD\t"),
            (["/mbi", "/mod", "4", "5", "2"], b"1234 255"),
            (["/mbi", "/mod", "5", "7", "xFF00"], b"65280"),          # write coil: the echoed value
            (["/mbi", "/mod", "6", "7", "500"], b"1793"),             # 07 01 F4: one word, one byte left
            # A last reply byte 0A is a register value, not a line end.
            (["/mbi", "/mod", "3", "100", "1"], b"10"),
            # Nor are 2C and 2E commas and dots to convert with /xc or /xsk.
            (["/xc", "/xsk", "/mbi", "/mod", "3", "110", "2"], b"11310 11820"),
            (["/xc", "/xsk", "/mod", "3", "110", "1"], None),
        ]
        for args, shown in cases:
            with self.subTest(args=args):
                line, request = self.line_of(args)
                if shown is None:  # the hex view: every reply byte as received
                    shown = hex_list(request[:2] + bytes.fromhex("0000 0005 01 03 02 2C2E"))
                self.assertEqual(line, shown)

    def test_hex_view_and_exceptions(self):
        line, request = self.line_of(["/mod", "3", "100", "2"])
        self.assertEqual(line, hex_list(request[:2] + bytes.fromhex("0000 0007 01 03 04 000A FFFF")))
        # Function 1 is not served: a 9-byte exception reply shows as hex whatever the view.
        for view in ([], ["/mbi"], ["/mbs"]):
            with self.subTest(view=view):
                line, request = self.line_of(view + ["/mod", "1", "0", "1"])
                self.assertEqual(line, hex_list(request[:2] + bytes.fromhex("0000 0003 01 81 01")))

    def test_echo_shows_request(self):
        line, request = self.line_of(["/n", "/mbi", "/mod", "3", "100", "2"])
        self.assertEqual(line, b"10 65535\t " + hex_list(request))

    def test_write_then_read(self):
        self.line_of(["/mod", "6", "50", "4321"])
        self.assertEqual(self.line_of(["/mbi", "/mod", "3", "50", "1"])[0], b"4321")


if __name__ == "__main__":
    unittest.main()
