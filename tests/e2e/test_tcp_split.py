"""TCP command session: /d splits the command at ";" into exchanges and pauses."""
import unittest

from tcp_support import FakeCase, Raw, Reply, Scpi, Scripted, ended, psulan, target


def instrument():
    return Scpi({"a?": Reply.now(b"A\n"), "b?": Reply.now(b"B\n"), "c?": Reply.now(b"C\n"),
                 " a? ": Reply.now(b"spaced\n")})


class SplitFields(FakeCase):
    def test_fields(self):
        # command, texts sent (one connection each), lines without echo, lines with echo
        cases = [
            ("a?;b?;c?", [b"a?", b"b?", b"c?"], [b"A", b"B", b"C"],
             [b"A\t [a?]", b"B\t [b?]", b"C\t [c?]"]),
            ("a?; ;b?", [b"a?", b"b?"], [b"A", b"B"], [b"A\t [a?]", b"[ wait 500 ms ]", b"B\t [b?]"]),
            ("a?;;b?", [b"a?"], [b"A"], [b"A\t [a?]"]),
            (";a?", [b"a?"], [b"A"], [b"A\t [a?]"]),
            ("a?;", [b"a?"], [b"A"], [b"A\t [a?]"]),
            ("a?;  ;b?", [b"a?", b"  ", b"b?"], [b"A", b"", b"B"], [b"A\t [a?]", b"\t [  ]", b"B\t [b?]"]),
            (";;a?", [], [], []),
            (";", [], [], []),
            (" a? ;b?", [b" a? ", b"b?"], [b"spaced", b"B"], [b"spaced\t [ a? ]", b"B\t [b?]"]),
            (" ;a?", [b"a?"], [b"A"], [b"[ wait 500 ms ]", b"A\t [a?]"]),
        ]
        for command, sent, brief, echoed in cases:
            for echo, lines in ((False, brief), (True, echoed)):
                with self.subTest(command=command, echo=echo):
                    fake = self.serve(instrument())
                    run = psulan(target(fake) + ["/d", "/cmd", command] + (["/n"] if echo else []))
                    self.assertEqual((run.code, run.lines()), (0, lines))
                    got = [c.data for c in ended(fake, len(sent))] if sent else fake.received()
                    self.assertEqual(got, [s + b"\n" for s in sent])

    def test_pauses(self):
        fake = self.serve(instrument())
        run = psulan(target(fake) + ["/d", "/cmd", "a?;b?; ;c?"])
        self.assertEqual(run.lines(), [b"A", b"B", b"C"])
        first, second, third = ended(fake, 3)
        # 100 ms after each exchange; a one-space field adds 500 ms.
        self.assertDuration(second.accepted_at - first.closed_at, 0.100, label="after a field")
        self.assertDuration(third.accepted_at - second.closed_at, 0.600, label="after a pause field")

    def test_split_binary_command_shows_text_form(self):
        fake = self.serve(Raw(Reply.now(b"\x10\x20\n")))
        run = psulan(target(fake) + ["/d", "/n", "/hex", "0102 3B 0304"])
        self.assertEqual(run.code, 0)
        self.assertEqual([c.data for c in ended(fake, 2)], [b"\x01\x02", b"\x03\x04"])
        self.assertEqual(run.lines(), [b"\x10\x20\t [\x01\x02]", b"\x10\x20\t [\x03\x04]"])

    def test_failed_binary_field_leaves_later_fields_raw(self):
        fake = self.serve(Scripted(Raw(Reply.now(b"\x10\x20\n")), {0: Reply.never()}))
        run = psulan(target(fake) + ["/d", "/n", "/hex", "0102 3B 0304"])
        self.assertEqual([c.data for c in ended(fake, 2)], [b"\x01\x02", b"\x03\x04"])
        self.assertEqual(run.lines(), [b"\t [\x01\x02]", b"\x10\x20\t [\x03\x04]"])


if __name__ == "__main__":
    unittest.main()
