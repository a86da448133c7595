"""The driver runs at most one mode, the first that applies: Teracom discovery,
UDP command mode, command file, TCP commands, PSU discovery. A simulated
instrument on loopback tells whether the TCP command run took place."""
import unittest

from tcp_support import FakeCase, Scpi, Reply, psulan, target

MARK = "mark:sel?"


class ModeSelection(FakeCase):
    def setUp(self):
        self.fake = self.serve(Scpi({MARK: Reply.now(b"seen\n")}))

    def tcp_commands_sent(self):
        return b"".join(self.fake.received())

    def test_tcp_command_run_when_no_other_mode_applies(self):
        for extra in ([], ["/mac", "F4-e1-42-00-03-ab"]):
            with self.subTest(extra=extra):
                run = psulan(extra + target(self.fake) + ["/cmd", MARK])
                self.assertEqual(run.code, 0)
                self.assertEqual(run.lines(), [b"seen"])
        self.fake.wait_connections(2)
        self.assertEqual(self.tcp_commands_sent(), (MARK + "\n").encode() * 2)

    def test_modes_ahead_of_tcp_commands_take_the_run(self):
        cases = {
            # A missing command file ends the run with exit code 4.
            "command file": (["/cfl", "no-such-command-file.txt"], 4),
            "udp mode": (["/u"], 0),
            "teracom": (["/terac"], 0),
            "send to all supplies": (["/s"], 0),
        }
        for name, (switches, code) in cases.items():
            with self.subTest(mode=name):
                run = psulan(switches + target(self.fake) + ["/cmd", MARK], timeout=30)
                self.assertEqual(run.code, code)
                self.assertNotIn(b"seen", run.out)
        self.assertEqual(self.tcp_commands_sent(), b"")


if __name__ == "__main__":
    unittest.main()
