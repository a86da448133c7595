"""TCP command session: /t repeats until the process is stopped; a failed
Modbus poll does not change how later polls are sent or shown."""
import signal
import unittest

import psulan_run
from tcp_support import (C_LOCALE, EOL, ON_WINDOWS_BUILD, FakeCase, LineReader, Modbus, Reply, Scpi, Scripted,
                         hex_list, stop, target)


def finish(process):
    if process.poll() is None:
        process.kill()
        process.wait(5)
    process.stdout.close()


class Repeat(FakeCase):
    def start(self, args):
        process = psulan_run.start(args, env=C_LOCALE)
        self.addCleanup(finish, process)
        return process

    def test_repeats_until_stopped_and_keeps_every_line(self):
        fake = self.serve(Scpi({"V?": Reply.now(b"12.5\n")}))
        process = self.start(target(fake) + ["/t", "/ttime", "50", "/n", "/cmd", "V?"])
        reader = LineReader(process)
        self.assertEqual(reader.lines(5, timeout=20), [b"12.5\t [V?]"] * 5)
        status = stop(process, signal.SIGINT)
        if not ON_WINDOWS_BUILD:
            self.assertEqual(status, -signal.SIGINT)
        out = reader.rest(timeout=5)
        # Only whole lines: nothing cut off by the stop.
        self.assertTrue(out.endswith(EOL), out[-40:])
        self.assertEqual(set(out.split(EOL)[:-1]), {b"12.5\t [V?]"})
        connections = fake.connections
        self.assertGreaterEqual(len(connections), 5)
        self.assertEqual({c.data for c in connections[:5]}, {b"V?\n"})
        # The repeat delay lies between the end of one exchange and the next connection.
        for before, after in zip(connections[:4], connections[1:5]):
            self.assertDuration(after.accepted_at - before.closed_at, 0.050)

    def test_repeated_split(self):
        fake = self.serve(Scpi({"a?": Reply.now(b"A\n"), "b?": Reply.now(b"B\n")}))
        process = self.start(target(fake) + ["/t", "/d", "/cmd", "a?;b?"])
        reader = LineReader(process)
        self.assertEqual(reader.lines(6, timeout=20), [b"A", b"B"] * 3)
        stop(process, signal.SIGTERM)
        self.assertEqual([c.data for c in fake.connections[:6]], [b"a?\n", b"b?\n"] * 3)


class FailedPollKeepsBinaryMode(FakeCase):
    """A time-out or receive error shows that poll in text form; the next polls
    send the same 12 bytes and decode their replies again."""

    def poll(self, script, count, extra=()):
        fake = self.serve(Scripted(Modbus(holding={100: 10, 101: 0xFFFF}), script))
        args = target(fake) + ["/t", "/ttime", "0", "/n", "/mbi", "/f", "/mod", "3", "100", "2"] + list(extra)
        process = psulan_run.start(args, env=C_LOCALE)
        self.addCleanup(finish, process)
        reader = LineReader(process)
        fake.wait_connections(count, timeout=20)
        request = fake.connections[0].data
        self.assertEqual(len(request), 12)
        good = b"10 65535\t " + hex_list(request) + EOL
        lines = {"ok": good,
                 "timeout": b"\t [" + request + b"]" + EOL,
                 "error": b"TCP Command Error! 10054\t [" + request + b"]" + EOL}
        return fake, process, reader, request, lines

    def test_time_out_then_polls_again(self):
        fake, process, reader, request, lines = self.poll({0: Reply.never(), 2: Reply.never()}, 5)
        expected = lines["timeout"] + lines["ok"] + lines["timeout"] + lines["ok"] * 2
        out = reader.at_least(len(expected), timeout=20)
        stop(process)
        self.assertEqual(out[:len(expected)], expected)
        for connection in fake.connections[:5]:
            self.assertEqual(connection.data, request)   # exactly 12 bytes, no line terminator

    def test_receive_error_then_polls_again(self):
        fake, process, reader, request, lines = self.poll({1: Reply.close()}, 4)
        expected = lines["ok"] + lines["error"] + lines["ok"] * 2
        out = reader.at_least(len(expected), timeout=20)
        stop(process)
        self.assertEqual(out[:len(expected)], expected)
        self.assertEqual({c.data for c in fake.connections[:4]}, {request})


if __name__ == "__main__":
    unittest.main()
