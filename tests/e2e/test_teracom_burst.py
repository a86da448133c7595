"""Teracom discovery: 250 modules answer one query at once with replies of
512 bytes. Each reply taken is followed by a 100 ms pause, so the last one
waits about 25 s in the receive queue; every module must still be listed."""
import unittest

from teracom_support import Module, TeracomCase, port_switches, run_timed

MODULES = 250
SIZE = 512


def fields(i):
    """Host name, MAC text and address text of module i; the address is
    padded so that the whole reply has SIZE bytes."""
    host, mac = b"TCW-%03d" % i, b"00:04:A3:00:00:%02X" % i
    address = b"10.0.0.%d/" % i
    return host, mac, address + b"-" * (SIZE - len(host) - len(mac) - len(address) - 4)


def reply(i):
    return b"\r\n".join(fields(i))


class Burst(TeracomCase):
    def test_250_modules_answering_at_once_are_all_listed(self):
        modules = [Module(reply(i), address="127.0.1.%d" % (i + 1)) for i in range(MODULES)]
        self.assertEqual({len(m.reply) for m in modules}, {SIZE})
        fake = self.serve(modules)
        run = run_timed(["/terac"] + port_switches(fake.port), timeout=120)
        self.assertEqual(run.code, 0)
        lines = run.texts()
        self.assertTrue(lines[0].startswith(b"Local Addresses: "), lines[:1])
        expected = [b"Hostname: %s\tSerial/MAC: %s\tAddress: %s" % fields(i) for i in range(MODULES)]
        self.assertEqual(lines[1:], expected)


if __name__ == "__main__":
    unittest.main()
