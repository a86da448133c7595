"""TCP command session: how long the first receive waits, and where a reply ends.

Durations are taken from the fake's clock: from the arrival of the command to
the program closing its side. That is 10 ms plus the first wait when nothing
comes back. The whole run time is checked too, against its fixed parts: 10 ms
per switch, 10 ms before the first receive, the first wait and the 100 ms
repeat delay.
"""
import unittest

from tcp_support import SWITCH_PAUSE, FakeCase, Raw, Reply, Scpi, ended, psulan, target


class FirstWait(FakeCase):
    def silent_wait(self, personality, args, wait):
        fake = self.serve(personality)
        run = psulan(target(fake) + args)
        self.assertEqual(run.code, 0)
        connection = ended(fake, 1, timeout=wait + 10)[0]
        self.assertDuration(connection.closed_at - connection.first_data_at, 0.010 + wait, label=str(args))
        switches = 2 + sum(1 for a in args if a.startswith("/"))
        self.assertGreaterEqual(run.seconds, switches * SWITCH_PAUSE + 0.010 + wait + 0.100)
        return run

    def test_text_commands(self):
        cases = [
            (["/cmd", "OUTP 1"], 0.100),        # no "?": 100 ms whatever the time-out
            (["/l", "/cmd", "OUTP 1"], 0.100),
            (["/cmd", "MEAS:VOLT?"], 2.001),    # a query waits the response time-out
            (["/cmd", "?x"], 2.001),            # a "?" anywhere counts
            (["/f", "/cmd", "MEAS:VOLT?"], 0.100),
            (["/f", "/l", "/cmd", "MEAS?"], 5.100),
        ]
        for args, wait in cases:
            with self.subTest(args=args):
                run = self.silent_wait(Scpi(), args, wait)
                self.assertEqual(run.lines(), [b""])

    def test_two_long_switches(self):
        self.silent_wait(Scpi(), ["/l", "/l", "/cmd", "MEAS?"], 12.001)

    def test_binary_commands(self):
        cases = [
            (["/hex", "0102"], 0.100),          # unchanged 2001 means 100 ms for binary
            (["/hex", "3F3F"], 0.100),          # a "?" byte plays no part
            (["/l", "/hex", "0102"], 7.001),
            (["/f", "/hex", "0102"], 0.100),
            (["/mod", "3", "1", "1"], 2.000),
            (["/mod", "3", "1", "1", "/f"], 0.100),
            (["/f", "/mod", "3", "1", "1"], 2.000),
        ]
        for args, wait in cases:
            with self.subTest(args=args):
                self.silent_wait(Raw(Reply.never()), args, wait)

    def test_late_replies(self):
        cases = [
            (["/cmd", "OUTP 1"], 0.040, b"late"),   # within 100 ms: still collected
            (["/cmd", "OUTP 1"], 0.300, b""),
            (["/cmd", "MEAS?"], 1.000, b"late"),
            (["/f", "/cmd", "MEAS?"], 0.300, b""),
        ]
        for args, delay, shown in cases:
            with self.subTest(args=args, delay=delay):
                fake = self.serve(Scpi(default=Reply.delayed(delay, b"late\n")))
                run = psulan(target(fake) + args)
                self.assertEqual((run.code, run.lines()), (0, [shown]))


class ReplyEnd(FakeCase):
    def test_segments(self):
        cases = [
            (0.000, b"AB,CD,EF"),
            (0.030, b"AB,CD,EF"),   # pieces less than 50 ms apart are one reply
            (0.080, b"AB,"),        # a pause beyond 50 ms ends it
        ]
        for gap, shown in cases:
            with self.subTest(gap=gap):
                fake = self.serve(Scpi({"R?": Reply.pieces([b"AB,", b"CD,", b"EF\n"], gap)}))
                run = psulan(target(fake) + ["/cmd", "R?"])
                self.assertEqual((run.code, run.lines()), (0, [shown]))
                connection = ended(fake, 1)[0]
                pieces = 1 if gap > 0.05 else 3
                # The program closes 50 ms (plus the 5 ms pause) after the last piece it took.
                expected = max(0.010, (pieces - 1) * gap) + 0.050
                self.assertDuration(connection.closed_at - connection.first_data_at, expected)

    def test_prompt_reply_ends_after_quiet_time(self):
        fake = self.serve(Scpi({"*IDN?": Reply.now(b"ID\n")}))
        run = psulan(target(fake) + ["/cmd", "*IDN?"])
        self.assertEqual(run.lines(), [b"ID"])
        connection = ended(fake, 1)[0]
        self.assertDuration(connection.closed_at - connection.first_data_at, 0.060)


if __name__ == "__main__":
    unittest.main()
