"""/a asks each new supply for its identity over TCP, in one of two forms by the
length of its reply; /s sends it the /cmd text. Both go to the address the reply
came from, never to the address inside it."""
import unittest

from supply_support import QUERY, Supply, SupplyCase, lines_of, psulan

INTERFACE_QUERY = b"*idn?;system:interface:type all?"


def reply_of(mac, length):
    """A reply with IP 10.0.0.5 inside it (no supply listens there)."""
    body = (mac + bytes([10, 0, 0, 5, 255, 255, 255, 0, 10, 0, 0, 1]) + b"SERIAL%06d" % mac[5] + b"-"
            + b"pud".ljust(72, b"\0") + b"tail" + b"\x01")
    return (body + b"+" * 200)[:length]


def block(n, state):
    return (b"\r\nSerial Number: SERIAL%06d\r\nMAC Address:   02-00-00-00-00-0%d\r\n"
            b"IP Address:    010.000.000.005%s\r\nSubnet mask:   255.255.255.000\r\n"
            b"Gateway:       010.000.000.001\r\nPUD:  [pud]") % (n, n, state)


class Identity(SupplyCase):
    def supply(self, n, length, **options):
        mac = bytes([2, 0, 0, 0, 0, n])
        return Supply(mac, "127.0.1.%d" % n, reply=reply_of(mac, length), answers={QUERY},
                      delay=0.005 * n, **options)

    def test_idn_or_interface_query_by_reply_length(self):
        supplies = [
            self.supply(1, 105, idn=b"RI,PSU-105,1"),
            self.supply(2, 107, idn=b"RI,PSU-107,2"),
            self.supply(3, 108, idn=b"RI,PSU-108,3", interfaces=b"LAN\r\nUSB\nGPIB"),
            self.supply(4, 108, tcp=False),
        ]
        fake = self.supplies(supplies)
        run = psulan(["/a", "/f"])
        self.assertEqual(run.code, 0)
        self.assertEqual(run.out, lines_of(
            b"Message too short...", b"IDN:  [RI,PSU-105,1]",
            block(2, b" - Static"), b"IDN:  [RI,PSU-107,2]",
            block(3, b" - DHCP"), b"IdnIf:[RI,PSU-108,3;LAN     USB   GPIB]",
            block(4, b" - DHCP"), b"!TCP connect failed with error code 10061 : Connection refused", b"IdnIf:[]"))
        self.assertEqual(sorted((c.supply.address, c.text) for c in fake.commands),
                         [("127.0.1.1", b"*idn?"), ("127.0.1.2", b"*idn?"), ("127.0.1.3", INTERFACE_QUERY)])

    def test_identity_query_is_text_with_its_line_end_under_hex(self):
        fake = self.supplies([self.supply(2, 107, idn=b"RI,PSU-107,2"), self.supply(3, 108, idn=b"RI,PSU-108,3")])
        run = psulan(["/a", "/s", "/hex", "6F 75 74 70 0A", "/f"])
        self.assertEqual(run.out, lines_of(block(2, b" - Static"), b"IDN:  [RI,PSU-107,2]",
                                           block(3, b" - DHCP"), b"IdnIf:[RI,PSU-108,3;LAN]"))
        # The /hex bytes go as they are; the fake takes a command at its line end. Each supply is asked
        # first, then sent the command; the supplies' exchanges overlap.
        self.assertEqual([(c.supply.address, c.text) for c in sorted(fake.commands, key=lambda c: c.supply.address)],
                         [("127.0.1.2", b"*idn?"), ("127.0.1.2", b"outp"),
                          ("127.0.1.3", INTERFACE_QUERY), ("127.0.1.3", b"outp")])

    def test_s_sends_the_command_and_shows_the_reply_of_a_query(self):
        queries = {b"syst:err?": b"0,\"No error\"\n", b"?syst": b"never shown\n"}
        cases = [
            ("syst:err?", [b"Recv: [0,\"No error\"]"]),
            ("outp 1", []),
            ("?syst", []),
        ]
        fake = self.supplies([self.supply(1, 108, queries=queries), self.supply(2, 106, queries=queries)])
        for command, shown in cases:
            with self.subTest(command=command):
                sent = len(fake.commands)
                run = psulan(["/s", "/cmd", command, "/f"])
                self.assertEqual(run.out, lines_of(block(1, b" - DHCP"), *shown,
                                                   block(2, b" - DHCP not supported!"), *shown))
                self.assertEqual(sorted((c.supply.address, c.text) for c in fake.commands[sent:]),
                                 [("127.0.1.1", command.encode()), ("127.0.1.2", command.encode())])

    def test_a_and_s_together_ask_first_then_send(self):
        fake = self.supplies([self.supply(1, 107, idn=b"RI,1", queries={b"meas:volt?": b"5.00\n"})])
        run = psulan(["/a", "/s", "/cmd", "meas:volt?", "/f"])
        self.assertEqual(run.out, lines_of(block(1, b" - Static"), b"IDN:  [RI,1]", b"Recv: [5.00]"))
        self.assertEqual([c.text for c in fake.commands], [b"*idn?", b"meas:volt?"])

    def test_blocks_keep_the_order_of_their_datagrams_while_the_exchanges_overlap(self):
        # The first supply's datagram comes first and its exchange ends last (it never answers), the second
        # refuses the connection, the third and fourth answer in reverse order. /v: each exchange's own lines
        # stand between its block and its identity line.
        self.supplies([self.supply(1, 107, tcp_delay=30.0), self.supply(2, 107, tcp=False),
                       self.supply(3, 107, idn=b"RI,3", tcp_delay=0.06), self.supply(4, 107, idn=b"RI,4", tcp_delay=0)])
        refused = b"!TCP connect failed with error code 10061 : Connection refused"
        run = psulan(["/a", "/f"])
        self.assertEqual((run.code, run.out), (0, lines_of(
            block(1, b" - Static"), b"IDN:  []", block(2, b" - Static"), refused, b"IDN:  []",
            block(3, b" - Static"), b"IDN:  [RI,3]", block(4, b" - Static"), b"IDN:  [RI,4]")))
        verbose = psulan(["/a", "/f", "/v"]).lines()
        self.assertEqual([line for line in verbose if line.startswith((b"Received", b"TCP", b"!", b"IDN"))], [
            b"Received from: 127.0.1.1  Length: 107", b"TCP Create", b"TCP for: 127.0.1.1 *idn?", b"TCP Stopped",
            b"IDN:  [Response Timeout!]",
            b"Received from: 127.0.1.2  Length: 107", b"TCP Create", refused, b"TCP Stopped", b"IDN:  []",
            b"Received from: 127.0.1.3  Length: 107", b"TCP Create", b"TCP for: 127.0.1.3 *idn?", b"TCP Stopped",
            b"IDN:  [RI,3]",
            b"Received from: 127.0.1.4  Length: 107", b"TCP Create", b"TCP for: 127.0.1.4 *idn?", b"TCP Stopped",
            b"IDN:  [RI,4]"])
        self.assertEqual(verbose[-1], b"Listener stopped")

    def test_s_reaches_several_supplies_and_shows_their_replies_in_datagram_order(self):
        # Later datagrams, earlier answers.
        fake = self.supplies([self.supply(n, 106, queries={b"meas:volt?": b"%d.00\n" % n}, tcp_delay=0.08 - 0.02 * n)
                              for n in (1, 2, 3)])
        run = psulan(["/s", "/cmd", "meas:volt?", "/f"])
        self.assertEqual((run.code, run.out), (0, lines_of(
            block(1, b" - DHCP not supported!"), b"Recv: [1.00]", block(2, b" - DHCP not supported!"),
            b"Recv: [2.00]", block(3, b" - DHCP not supported!"), b"Recv: [3.00]")))
        self.assertEqual(sorted((c.supply.address, c.text) for c in fake.commands),
                         [("127.0.1.%d" % n, b"meas:volt?") for n in (1, 2, 3)])


if __name__ == "__main__":
    unittest.main()
