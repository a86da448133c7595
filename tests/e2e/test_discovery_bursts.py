"""Many supplies answering one broadcast at once: none is lost, also while /a
talks to each of them over TCP, and past 250 supplies the last slot takes each
further one."""
import re
import unittest

from supply_support import SupplyCase, numbered, psulan

SERIAL = re.compile(rb"\r\nSerial Number: SN(\d{10})\r\n")


def serials(out):
    return [int(n) for n in SERIAL.findall(out)]


class Bursts(SupplyCase):
    def test_250_supplies_with_consecutive_macs_all_listed(self):
        # F4-E1-42-00-03-00 to -F9: pairs such as -41 and -61 differ only by
        # 0x20 in a letter's range, and are two supplies.
        self.supplies(numbered(250, first_mac="F4-E1-42-00-03-00"))
        run = psulan([])
        self.assertEqual(run.code, 0)
        self.assertEqual(serials(run.out), list(range(1, 251)))
        macs = re.findall(rb"\r\nMAC Address:   F4-E1-42-00-03-([0-9A-F]{2})\r\n", run.out)
        self.assertEqual(macs, [b"%02X" % n for n in range(250)])

    def test_250_supplies_all_listed_and_asked_with_a(self):
        fake = self.supplies(numbered(250, length=107))
        run = psulan(["/a"], timeout=200)
        self.assertEqual(run.code, 0)
        self.assertEqual(serials(run.out), list(range(1, 251)))
        idn = re.findall(rb"PUD:  \[Supply (\d+)\]\r?\nIDN:  \[Rurev Izurovozeva,PSU,SN(\d{10}),1\.0\]", run.out)
        self.assertEqual([(int(a), int(b)) for a, b in idn], [(n, n) for n in range(1, 251)])
        self.assertEqual(len(fake.commands), 250)
        self.assertEqual({c.text for c in fake.commands}, {b"*idn?"})

    def test_past_250_supplies_slot_250_takes_the_latest(self):
        # Each supply answers the query and the re-query. On the re-query the
        # first 250 are known; 251 to 260 each meet only the latest of them in
        # slot 250, so each is new again.
        self.supplies(numbered(260))
        run = psulan([])
        self.assertEqual(serials(run.out), list(range(1, 261)) + list(range(251, 261)))


if __name__ == "__main__":
    unittest.main()
