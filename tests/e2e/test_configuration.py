"""Ethernet configuration of one supply by its MAC address: the datagrams byte for
byte with their waits, the order DHCP, static, reset, and the change as a
following discovery (/e) shows it. The simulated supplies apply what is
addressed to their MAC."""
import unittest

from supply_support import SLACK, Supply, SupplyCase, lines_of, psulan

MAC = "F4-e1-42-00-03-ab"
MAC_TEXT = b"F4-E1-42-00-03-AB"
REPORT = b"Local Addresses: 127.0.0.1,"


def target(**options):
    return Supply(MAC, "127.0.1.1", ip="192.168.1.5", gateway="192.168.1.1", serial=b"SN0123456789",
                  pud=b"target", **options)


def other():
    return Supply("F4-E1-42-00-03-AC", "127.0.1.2", ip="192.168.1.6", gateway="192.168.1.1",
                  serial=b"SN0123456790", pud=b"other")


class Configuration(SupplyCase):
    def test_static_address_three_datagrams_with_their_waits(self):
        fake = self.supplies([target(), other()])
        run = psulan(["/v", "/mac", MAC, "/static", "/ip", "192.168.2.2"])
        self.assertEqual(run.code, 0)
        self.assertEqual(run.full, lines_of(
            b"Config for: 127.0.0.1 [04 F4 E1 42 00 03 AB 00 38 30 35 32 37 31 39]", b"Config Stopped",
            b"Config for: 127.0.0.1 [01 F4 E1 42 00 03 AB C0 A8 02 02 FF FF FF 00 C0 A8 02 01]", b"Config Stopped",
            b"Config for: 127.0.0.1 [02 F4 E1 42 00 03 AB]", b"Config Stopped",
            b"Set static address at: 127.0.0.1   for: " + MAC_TEXT,
            REPORT,
            b" IP: 192.168.2.2   Mask: 255.255.255.0   Gateway: 192.168.2.1   MAC: F4-E1-42-00-03-AB   "
            b"Ports: 7024 7025 8462"))
        datagrams = fake.received()
        self.assertEqual([d.data for d in datagrams], [
            b"\x04\xF4\xE1\x42\x00\x03\xAB\x00" b"8052719",
            b"\x01\xF4\xE1\x42\x00\x03\xAB\xC0\xA8\x02\x02\xFF\xFF\xFF\x00\xC0\xA8\x02\x01",
            b"\x02\xF4\xE1\x42\x00\x03\xAB"])
        self.assertEqual({d.source for d in datagrams}, {("127.0.0.1", 7025)})
        # 2500 ms and 300 ms, each after the 10 ms a sender stays open.
        self.assertDuration(datagrams[1].time - datagrams[0].time, 2.510, label="address")
        self.assertDuration(datagrams[2].time - datagrams[1].time, 0.310, label="reset")
        self.assertEqual(fake.events, [
            "F4-E1-42-00-03-AB dhcp off",
            "F4-E1-42-00-03-AB address 192.168.2.2 mask 255.255.255.0 gateway 192.168.2.1 pending",
            "F4-E1-42-00-03-AB reset: static 192.168.2.2 mask 255.255.255.0 gateway 192.168.2.1"])

    def test_dhcp_before_reset_whatever_the_switch_order(self):
        fake = self.supplies([target(), other()])
        run = psulan(["/mac", MAC, "/r", "/dhcp"])
        self.assertEqual(run.full, lines_of(
            b"Enable DHCP at: 127.0.0.1   for: " + MAC_TEXT,
            b"Reset controller at: 127.0.0.1   for: " + MAC_TEXT,
            REPORT))
        self.assertEqual([d.data for d in fake.received()], [
            b"\x04\xF4\xE1\x42\x00\x03\xAB\x01" b"8052719", b"\x02\xF4\xE1\x42\x00\x03\xAB"])
        self.assertEqual(fake.events, ["F4-E1-42-00-03-AB dhcp on",
                                       "F4-E1-42-00-03-AB reset: DHCP 192.168.1.5 mask 255.255.255.0 "
                                       "gateway 192.168.1.1"])

    def test_following_discovery_shows_the_change(self):
        fake = self.supplies([target(), other()])
        run = psulan(["/mac", MAC, "/static", "/ip", "10.0.0.1", "/mask", "255.0.0.0", "/e", "/f"])
        self.assertEqual(run.full, lines_of(
            b"Set static address at: 127.0.0.1   for: " + MAC_TEXT, REPORT,
            b"\r\nSerial Number: SN0123456789\r\nMAC Address:   F4-E1-42-00-03-AB\r\n"
            b"IP Address:    010.000.000.001 - Static\r\nSubnet mask:   255.000.000.000\r\n"
            b"Gateway:       010.000.000.254\r\nPUD:  [target]",
            b"\r\nSerial Number: SN0123456790\r\nMAC Address:   F4-E1-42-00-03-AC\r\n"
            b"IP Address:    192.168.001.006 - Static\r\nSubnet mask:   255.255.255.000\r\n"
            b"Gateway:       192.168.001.001\r\nPUD:  [other]"))
        # The discovery waited 3300 ms after the last configuration datagram,
        # then sent the query twice, 50 ms apart.
        reset = fake.received(b"\x02\xF4\xE1\x42\x00\x03\xAB")[0].time
        queries = [d.time for d in fake.received(b"\x05")]
        self.assertEqual(len(queries), 2)
        self.assertDuration(queries[0] - reset, 3.310, slack=SLACK + 0.1)
        self.assertDuration(queries[1] - queries[0], 0.050)

        run = psulan(["/mac", MAC, "/dhcp", "/e", "/f"])
        self.assertIn(b"IP Address:    010.000.000.001 - DHCP\r\n", run.out)
        self.assertIn(b"IP Address:    192.168.001.006 - Static\r\n", run.out)

    def test_failed_sender_is_reported_and_the_closing_line_follows(self):
        fake = self.supplies([target()])
        run = psulan(["/mac", MAC, "/r", "/cport", "-9"])
        lines = run.lines()
        self.assertEqual(len(lines), 3, run.out)
        self.assertTrue(lines[0].startswith(b"!Config failed with error code "), lines[0])
        self.assertEqual(lines[1:], [b"Reset controller at: 127.0.0.1   for: " + MAC_TEXT, REPORT])
        self.assertEqual(fake.received(), [])


if __name__ == "__main__":
    unittest.main()
