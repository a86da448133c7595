"""Teracom discovery: what the program prints of the replies it gets - their
layouts, duplicates, the sizes that are dropped or kept, and bad input.
The runs go on at the same time, each against its own simulated modules."""
import unittest

from teracom_support import (PAUSE, SILENCE, Module, TeracomCase, port_switches, reply_text,
                             run_all, run_timed, settings_line, spaced)


def module_list(replies, first=0.005, step=0.005):
    """Modules answering one after another in the order given."""
    return [Module(reply, delay=first + i * step) for i, reply in enumerate(replies)]


LAYOUTS = [
    (spaced(reply_text(mac=b"00:04:A3:00:00:01")),
     b"Hostname: TCW241\tSerial/MAC: 00:04:A3:00:00:01\tAddress: 192.168.1.2"),
    (b"lf-host\n00:04:A3:00:00:02\n10.0.0.2\n",
     b"Hostname: lf-host\tSerial/MAC: 00:04:A3:00:00:02\tAddress: 10.0.0.2"),
    (b"cr-host\r00:04:A3:00:00:03\r10.0.0.3",
     b"Hostname: cr-host\tSerial/MAC: 00:04:A3:00:00:03\tAddress: 10.0.0.3"),
    (b"TCW-00:04:A3:00:00:05-10.0.0.5-no-line-end",
     b"Hostname: \tSerial/MAC: \tAddress: TCW-00:04:A3:00:00:05-10.0.0.5-no-line-end"),
    (b"three\r\n\r\n\r\n00:04:A3:00:00:06\r\n10.0.0.6",
     b"Hostname: three\tSerial/MAC: \tAddress: 00:04:A3:00:00:0610.0.0.6"),
    (b"\r\n" * 20,
     b"Hostname: \tSerial/MAC: \tAddress: "),
]

REPLY_30 = b"TCW\r\n00:04:A3:00:00:30\r\n10.0.3"
REPLY_31 = b"TCW\r\n00:04:A3:00:00:31\r\n10.0.31"
LARGEST = b"big\r\n00:04:A3:00:FF:FF\r\n" + b"x" * 65483
# The largest datagrams without a line end, and of line ends only.
PRINTABLE = bytes(range(0x21, 0x7F))
NO_LINE_END = (PRINTABLE * 700)[:65507]
ONLY_LINE_ENDS = (b"\r\n" * 32754)[:65507]
EVERY_BYTE = bytes(range(256))

DUPLICATES = [
    Module(b"TCW-A\r\n00:04:A3:12:34:56\r\n10.0.0.1", "127.0.0.11", 0.005, answers=2, gap=0.060),
    Module(b"TCW-B\r\n00:04:a3:12:34:56\r\n10.0.0.2", "127.0.0.12", 0.015),     # letter case aside: A
    Module(b"TCW-C\r\n00:04:A3:12:34:56:99\r\n10.0.0.3", "127.0.0.13", 0.025),  # 17 characters as A
    Module(b"TCW-D\r\n00:04:A3:12:34:57\r\n10.0.0.4", "127.0.0.14", 0.035),
    Module(b"TCW-E\r\nSN-0001\r\n10.0.0.5 port 80", "127.0.0.15", 0.045, answers=2, gap=0.030),
    Module(b"\r\n" * 16, "127.0.0.16", 0.055, answers=2, gap=0.030),
]


class Replies(TeracomCase):
    @classmethod
    def setUpClass(cls):
        cases = {
            "layouts": ([], module_list([reply for reply, _ in LAYOUTS])),
            "sizes": (["/v"], module_list([b"x", REPLY_30, REPLY_31, LARGEST, NO_LINE_END, ONLY_LINE_ENDS])),
            "every byte": (["/vv"], module_list([EVERY_BYTE])),
            # The empty datagram is taken and ignored, the module behind it
            # is read; then a sender that never pauses (a byte every 0.5 ms
            # for 5 s) ends the wait at its 4096th datagram.
            "empty": (["/v"], [Module(b"", delay=0.005), Module(reply_text(), delay=0.300),
                               Module(b"x", delay=0.400, answers=10000, gap=0.0005)]),
            "duplicates": (["/v"], DUPLICATES),
        }
        cls.fakes = {name: cls.serve(modules) for name, (_, modules) in cases.items()}
        runs = run_all([["/terac"] + port_switches(cls.fakes[name].port) + switches
                        for name, (switches, _) in cases.items()])
        cls.runs = dict(zip(cases, runs))

    def output(self, name, verbose):
        """The lines of a run after the address report (and the /v settings
        line), checked on the way."""
        run = self.runs[name]
        self.assertEqual(run.code, 0, name)
        lines = run.texts()
        self.assertTrue(lines and lines[0].startswith(b"Local Addresses: 127."), lines[:1])
        self.local = lines[0][len(b"Local Addresses: "):].rstrip(b",")
        if not verbose:
            return lines[1:]
        self.assertEqual(lines[1], settings_line(self.fakes[name].port))
        return lines[2:]

    def test_each_layout_gives_one_line_without_spaces(self):
        self.assertEqual(self.output("layouts", False), [line for _, line in LAYOUTS])

    def test_thirty_bytes_dropped_thirty_one_kept_and_the_largest_datagrams_whole(self):
        self.assertEqual([len(r) for r in (REPLY_30, REPLY_31, LARGEST, NO_LINE_END, ONLY_LINE_ENDS)],
                         [30, 31, 65507, 65507, 65507])
        self.assertEqual(self.output("sizes", True), [
            b"Sender started at: " + self.local,
            b"Received from: 127.0.0.1  Length: 31",
            b"[TCW  00:04:A3:00:00:31  10.0.31]",
            b"Hostname: TCW\tSerial/MAC: 00:04:A3:00:00:31\tAddress: 10.0.31",
            b"Received from: 127.0.0.1  Length: 65507",
            b"[big  00:04:A3:00:FF:FF  " + b"x" * 65483 + b"]",
            b"Hostname: big\tSerial/MAC: 00:04:A3:00:FF:FF\tAddress: " + b"x" * 65483,
            b"Received from: 127.0.0.1  Length: 65507",
            b"[" + NO_LINE_END + b"]",
            b"Hostname: \tSerial/MAC: \tAddress: " + NO_LINE_END,
            b"Received from: 127.0.0.1  Length: 65507",
            b"[" + b" " * 65507 + b"]",
            b"Hostname: \tSerial/MAC: \tAddress: ",
            b"RECV Timeout",
            b"Sender stopped",
        ])
        # Taking the largest replies costs no time beyond the pause after each.
        run = self.runs["sizes"]
        taken = [run.at(b"Received from: ", nth) for nth in range(4)]
        for nth in range(1, 4):
            self.assertWithin(taken[nth] - taken[nth - 1], PAUSE, "reply %d" % nth)
        self.assertWithin(run.at(b"RECV Timeout") - taken[-1], PAUSE + SILENCE)

    def test_every_byte_value(self):
        self.assertEqual(self.output("every byte", True), [
            b"Sender started at: " + self.local,
            b"Received from: 127.0.0.1  Length: 256",
            # 00 07 08 09 0A 0D 1A blanked.
            b"[ " + bytes(range(0x01, 0x07)) + b"    \x0b\x0c " + bytes(range(0x0E, 0x1A)) + b" "
            + bytes(range(0x1B, 0x100)) + b"]",
            b"[" + b" ".join(b"%02X" % i for i in range(256)) + b"]",
            # The first LF (0A) ends the host name, the CR (0D) the serial;
            # the space (20) goes.
            b"Hostname: " + bytes(range(0x00, 0x0A)) + b"\tSerial/MAC: \x0b\x0c\tAddress: "
            + bytes(range(0x0E, 0x20)) + bytes(range(0x21, 0x100)),
            b"RECV Timeout",
            b"Sender stopped",
        ])

    def test_empty_datagram_ignored_and_a_flood_ends_the_wait_at_4096_datagrams(self):
        self.assertEqual(self.output("empty", True), [
            b"Sender started at: " + self.local,
            b"Received from: 127.0.0.1  Length: 38",
            b"[TCW241  00:04:A3:12:34:56  192.168.1.2]",
            b"Hostname: TCW241\tSerial/MAC: 00:04:A3:12:34:56\tAddress: 192.168.1.2",
            b"Wait ended after 4096 datagrams",
            b"Sender stopped",
        ])

    def test_duplicates_need_seventeen_characters_and_ignore_letter_case(self):
        def received(module, length, raw, line=None):
            shown = [b"Received from: 127.0.0.%d  Length: %d" % (module, length), raw]
            return shown + ([line] if line else [])

        self.assertEqual(self.output("duplicates", True), [b"Sender started at: " + self.local]
                         + received(11, 34, b"[TCW-A  00:04:A3:12:34:56  10.0.0.1]",
                                    b"Hostname: TCW-A\tSerial/MAC: 00:04:A3:12:34:56\tAddress: 10.0.0.1")
                         + received(12, 34, b"[TCW-B  00:04:a3:12:34:56  10.0.0.2]")
                         + received(13, 37, b"[TCW-C  00:04:A3:12:34:56:99  10.0.0.3]")
                         + received(14, 34, b"[TCW-D  00:04:A3:12:34:57  10.0.0.4]",
                                    b"Hostname: TCW-D\tSerial/MAC: 00:04:A3:12:34:57\tAddress: 10.0.0.4")
                         + received(15, 32, b"[TCW-E  SN-0001  10.0.0.5 port 80]",
                                    b"Hostname: TCW-E\tSerial/MAC: SN-0001\tAddress: 10.0.0.5port80")
                         + received(16, 32, b"[" + b" " * 32 + b"]", b"Hostname: \tSerial/MAC: \tAddress: ")
                         + received(11, 34, b"[TCW-A  00:04:A3:12:34:56  10.0.0.1]")
                         + received(15, 32, b"[TCW-E  SN-0001  10.0.0.5 port 80]",
                                    b"Hostname: TCW-E\tSerial/MAC: SN-0001\tAddress: 10.0.0.5port80")
                         + received(16, 32, b"[" + b" " * 32 + b"]", b"Hostname: \tSerial/MAC: \tAddress: ")
                         + [b"RECV Timeout", b"Sender stopped"])


class Flood(TeracomCase):
    """A module that answers every millisecond for 33 s: each reply taken is
    followed by the pause, so only the 30 s limit ends the wait. A class of
    its own, so that its load does not touch the timings above."""

    def test_a_module_that_keeps_answering_ends_the_wait_30_s_after_the_query(self):
        fake = self.serve([Module(reply_text(), delay=0.005, answers=33000, gap=0.001)])
        run = run_timed(["/terac", "/v"] + port_switches(fake.port))
        lines = run.texts()
        self.assertEqual((run.code, lines[-2:]), (0, [b"Wait ended after 30 s", b"Sender stopped"]))
        # Line arrivals may lag a loaded reader by a little on either side.
        waited = run.at(b"Wait ended after 30 s") - run.at(b"Sender started at: ")
        self.assertGreaterEqual(waited, 29.9)
        self.assertLessEqual(waited, 31.0)


if __name__ == "__main__":
    unittest.main()
