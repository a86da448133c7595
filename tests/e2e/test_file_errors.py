"""Command files that cannot be used, in the TCP file session and the UDP
command mode alike: a missing file (exit code 4), one that cannot be opened
(a directory; exit code 3) and one whose reading fails (exit code 3). The
file is checked before anything goes to the network."""
import os
import re
import unittest

from file_support import CommandFileCase
from psulan_run import ON_WINDOWS_BUILD
from tcp_support import EOL, Scpi, psulan, target
from udp_support import UDP_PORT, hold_port

# The system's own message for a directory opened as a file (Windows words
# it in its own way: "Access is denied.").
DIRECTORY_MESSAGE = rb"[^\r\n]+" if ON_WINDOWS_BUILD else rb"Is a directory"


class FileErrors(CommandFileCase):
    def setUp(self):
        # Nothing may reach the instrument, nor bind the UDP listening port.
        self.fake = self.serve(Scpi())
        self.port_holder = hold_port(UDP_PORT)
        self.addCleanup(self.port_holder.close)

    def modes(self, name):
        return {
            "cfl": target(self.fake) + ["/cfl", name],
            "hfl": target(self.fake) + ["/hfl", name],
            "udp cfl": ["/u", "/ip", "127.0.0.1", "/cfl", name],
            "udp hfl": ["/ip", "127.0.0.1", "/hfl", name, "/u"],
        }

    def test_missing_file(self):
        name = os.path.join(self.directory(), "missing.txt")
        for mode, args in self.modes(name).items():
            with self.subTest(mode=mode):
                run = psulan(args)
                self.assertEqual((run.code, run.out), (4, b"!File not found: " + name.encode() + EOL))
        self.assertEqual(self.fake.connections, [])

    def test_directory(self):
        name = self.directory()
        for mode, args in self.modes(name).items():
            with self.subTest(mode=mode):
                run = psulan(args)
                self.assertEqual(run.code, 3)
                self.assertRegex(run.out, b"^!File open Error: " + DIRECTORY_MESSAGE + b" " + re.escape(name.encode())
                                 + re.escape(EOL) + b"$")
        self.assertEqual(self.fake.connections, [])

    def test_pause_before_exit(self):
        name = os.path.join(self.directory(), "missing.txt")
        run = psulan(["/dbg"] + target(self.fake) + ["/cfl", name])
        self.assertEqual((run.code, run.lines()), (4, [b"!File not found: " + name.encode(),
                                                        b" Press [Enter] to continue..."]))

    def test_read_error(self):
        # The program's own memory at offset 0 is not mapped: the first read fails
        # (under wine as well, with the Windows code the failure maps to).
        name = "/proc/self/mem"
        message = rb"[^\r\n]+" if ON_WINDOWS_BUILD else rb"Input/output error"
        self.port_holder.close()
        for mode, args in self.modes(name).items():
            with self.subTest(mode=mode):
                run = psulan(args)
                self.assertEqual(run.code, 3)
                self.assertRegex(run.out, b"^!File read Error: " + message + b" /proc/self/mem" + re.escape(EOL) + b"$")


if __name__ == "__main__":
    unittest.main()
