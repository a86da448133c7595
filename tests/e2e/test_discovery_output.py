"""What a discovery prints: the device block of each reply length, duplicates,
the verbose and hex lines, and datagrams of any size and content on the listening
port. Simulated supplies answer on loopback addresses of their own."""
import unittest

from supply_support import EOL, Supply, SupplyCase, lines_of, psulan

# A reply as a supply sends it: MAC, IP, mask, gateway, serial number, one byte,
# PUD text, four bytes, DHCP state 1.
REPLY = (bytes.fromhex("F4E1420003AB" "C0A80105" "FFFFFF00" "C0A80101") + b"SN0123456789" + b"\x01"
         + b"Lab rack 3" + b"\0" * 62 + b"\0\0\0\0" + b"\x01")
BLOCK = (b"\r\nSerial Number: SN0123456789\r\nMAC Address:   F4-E1-42-00-03-AB\r\n"
         b"IP Address:    192.168.001.005 - DHCP\r\nSubnet mask:   255.255.255.000\r\n"
         b"Gateway:       192.168.001.001\r\nPUD:  [Lab rack 3]")
RAW_LINE = (b"[\xF4\xE1\x42 \x03\xAB\xC0\xA8\x01\x05\xFF\xFF\xFF \xC0\xA8\x01\x01SN0123456789\x01Lab rack 3"
            + b" " * 66 + b"\x01]")
HEX_LINE = (b"[F4 E1 42 00 03 AB C0 A8 01 05 FF FF FF 00 C0 A8 01 01 53 4E 30 31 32 33 34 35 36 37 38 39 01 "
            b"4C 61 62 20 72 61 63 6B 20 33" + b" 00" * 66 + b" 01]")
NOTHING = b" No Power Supply found."


def reply_of(mac, ip, length, state=0):
    """A reply of length bytes with the given MAC and IP bytes, serial "SERIAL000001",
    PUD "pud", mask 255.255.0.0, gateway 10.0.0.1."""
    body = (mac + ip + bytes([255, 255, 0, 0]) + bytes([10, 0, 0, 1]) + b"SERIAL000001" + b"-"
            + b"pud".ljust(72, b"\0") + b"tail" + bytes([state]))
    return (body + b"+" * 1400)[:length]


class DiscoveryOutput(SupplyCase):
    def test_no_reply(self):
        self.supplies([Supply("02-00-00-00-00-01", "127.0.1.1", answers=())])
        run = psulan([])
        self.assertEqual(run.code, 0)
        self.assertEqual(run.full, lines_of(b"Local Addresses: 127.0.0.1,", NOTHING))
        run = psulan(["/v", "/f"])
        self.assertEqual(run.out, lines_of(
            b" IP: 0.0.0.0   Mask: 0.0.0.0   Gateway: 0.0.0.0   MAC:    Ports: 7024 7025 8462",
            b"Listener started at UDP port 7025",
            b"Sender started at: 127.0.0.1", b"Sender stopped",
            b"Sender started at: 127.0.0.1", b"Sender stopped",
            NOTHING, b"Listener stopped"))

    def test_block_by_reply_length(self):
        mac = lambda n: bytes([0x02, 0, 0, 0, 0, n])  # noqa: E731
        ip = bytes([10, 0, 0, 5])
        lengths = [(105, 0), (106, 1), (107, 1), (108, 1), (108, 7), (1400, 1)]
        self.supplies([Supply(mac(n), "127.0.1.%d" % (n + 1), reply=reply_of(mac(n), ip, length, state),
                              delay=0.005 + 0.004 * n)
                       for n, (length, state) in enumerate(lengths)])
        run = psulan(["/f"])
        head = b"\r\nSerial Number: SERIAL000001\r\nMAC Address:   02-00-00-00-00-0%d\r\nIP Address:    010.000.000.005"
        tail = b"\r\nSubnet mask:   255.255.000.000\r\nGateway:       010.000.000.001\r\nPUD:  [pud]"
        self.assertEqual(run.out, lines_of(
            b"Message too short...",
            head % 1 + b" - DHCP not supported!" + tail,
            head % 2 + b" - Static" + tail,
            head % 3 + b" - DHCP" + tail,
            head % 4 + b" - Static" + tail,
            head % 5 + b" - DHCP" + tail))

    def test_verbose_and_hex_lines_and_the_duplicate_of_the_requery(self):
        self.supplies([Supply("F4-E1-42-00-03-AB", "127.0.1.1", reply=REPLY)])
        run = psulan(["/vv", "/f"])
        received = b"Received from: 127.0.1.1  Length: 108"
        self.assertEqual(run.out, lines_of(
            b" IP: 0.0.0.0   Mask: 0.0.0.0   Gateway: 0.0.0.0   MAC:    Ports: 7024 7025 8462",
            b"Listener started at UDP port 7025",
            b"Sender started at: 127.0.0.1", b"Sender stopped",
            received, BLOCK, RAW_LINE, HEX_LINE,
            b"Sender started at: 127.0.0.1", b"Sender stopped",
            received + b" - Duplicated response", RAW_LINE, HEX_LINE,
            b"Listener stopped"))
        run = psulan(["/v", "/f"])
        self.assertNotIn(HEX_LINE, run.out)
        self.assertEqual(run.out.count(RAW_LINE + EOL), 2)


class DatagramsOfAnyKind(SupplyCase):
    """Whatever arrives on the listening port: no crash, no read beyond the datagram."""

    def test_sizes_and_bytes(self):
        every_byte = bytes(range(256))
        high_bytes = bytes(range(150, 255))  # 105 bytes
        huge = bytes([0x30 + i % 10 for i in range(65507)])
        self.supplies([
            Supply("02-00-00-00-00-01", "127.0.1.1", reply=b"", delay=0.005),
            Supply("02-00-00-00-00-02", "127.0.1.2", reply=b"\x07", delay=0.010),
            Supply("02-00-00-00-00-03", "127.0.1.3", reply=high_bytes, delay=0.015),
            Supply("02-00-00-00-00-04", "127.0.1.4", reply=every_byte, delay=0.020),
            Supply("02-00-00-00-00-05", "127.0.1.5", reply=huge, delay=0.025),
        ])
        run = psulan(["/v", "/f"])
        self.assertEqual(run.code, 0)
        sanitized = bytearray(every_byte)
        for b in (0x00, 0x07, 0x08, 0x09, 0x0A, 0x0D, 0x1A):
            sanitized[b] = 0x20
        sanitized = bytes(sanitized)
        every_block = (b"\r\nSerial Number: \x12\x13\x14\x15\x16\x17\x18\x19\x1a\x1b\x1c\x1d\r\n"
                       b"MAC Address:   00-01-02-03-04-05\r\n"
                       b"IP Address:    006.007.008.009 - Static\r\n"
                       b"Subnet mask:   010.011.012.013\r\n"
                       b"Gateway:       014.015.016.017\r\n"
                       b"PUD:  [" + bytes(range(31, 103)) + b"]")
        huge_block = (b"\r\nSerial Number: 890123456789\r\nMAC Address:   30-31-32-33-34-35\r\n"
                      b"IP Address:    054.055.056.057 - Static\r\nSubnet mask:   048.049.050.051\r\n"
                      b"Gateway:       052.053.054.055\r\nPUD:  [" + huge[31:103] + b"]")
        requery = [b"Sender started at: 127.0.0.1", b"Sender stopped"]
        first = [
            b"Received from: 127.0.1.2  Length: 1", b"Message too short...", b"[\x20]",
            b"Received from: 127.0.1.3  Length: 105", b"Message too short...", b"[" + high_bytes + b"]",
            b"Received from: 127.0.1.4  Length: 256", every_block, b"[" + sanitized + b"]",
            b"Received from: 127.0.1.5  Length: 65507", huge_block, b"[" + huge + b"]",
        ]
        duplicates = [
            b"Received from: 127.0.1.2  Length: 1 - Duplicated response", b"[\x20]",
            b"Received from: 127.0.1.3  Length: 105 - Duplicated response", b"[" + high_bytes + b"]",
            b"Received from: 127.0.1.4  Length: 256 - Duplicated response", b"[" + sanitized + b"]",
            b"Received from: 127.0.1.5  Length: 65507 - Duplicated response", b"[" + huge + b"]",
        ]
        self.assertEqual(run.out, lines_of(
            b" IP: 0.0.0.0   Mask: 0.0.0.0   Gateway: 0.0.0.0   MAC:    Ports: 7024 7025 8462",
            b"Listener started at UDP port 7025", *requery, *first, *requery, *duplicates,
            b"Listener stopped"))


if __name__ == "__main__":
    unittest.main()
