"""The manual page against the program it describes.

PSULAN_BIN names the built program, PSULAN_MANUAL the manual page the build made.
"""
import os
import re
import shutil
import subprocess
import unittest

BIN = os.environ.get("PSULAN_BIN", "")
MANUAL = os.environ.get("PSULAN_MANUAL", "")

# A switch as the help text and the manual write it: "/ip", "/?", "/mb?";
# not the "/Keysight" of "Agilent/Keysight".
SWITCH = re.compile(r"(?<![A-Za-z0-9])/(?:[A-Za-z]+\??|\?)")


def run(*args):
    return subprocess.run([BIN, *args], stdout=subprocess.PIPE, stderr=subprocess.DEVNULL,
                          stdin=subprocess.DEVNULL, timeout=30)


def switches_in(text):
    return {name.lower() for name in SWITCH.findall(text)}


def plain_text(roff_line):
    """A roff line without its request name, font changes, quotes and escapes."""
    line = re.sub(r"^\.[A-Za-z]+\s*", "", roff_line)
    line = re.sub(r"\\f(\(..|\[[^]]*\]|.)", "", line)
    for escape, text in (("\\-", "-"), ("\\&", ""), ("\\ ", " "), ('"', "")):
        line = line.replace(escape, text)
    return line


def option_tags(roff):
    """The tags of the tagged paragraphs in the OPTIONS section: what the
    manual lists as switches, one tag a line."""
    tags = []
    section = None
    lines = roff.splitlines()
    for number, line in enumerate(lines):
        if line.startswith(".SH "):
            section = plain_text(line).strip()
        elif section == "OPTIONS" and line.startswith(".TP") and number + 1 < len(lines):
            tags.append(plain_text(lines[number + 1]))
    return tags


class ManualPage(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        with open(MANUAL, encoding="utf-8") as page:
            cls.roff = page.read()
        cls.help = run("/?")

    def test_lists_every_switch_of_the_help_and_only_switches_the_program_takes(self):
        self.assertEqual(self.help.returncode, 1)
        helped = switches_in(self.help.stdout.decode("latin-1"))
        # "/mb?" in the help stands for a family of switches.
        families = {name for name in helped if len(name) > 2 and name.endswith("?")}
        listed = helped - families
        documented = set()
        for tag in option_tags(self.roff):
            documented |= switches_in(tag)
        self.assertGreater(len(listed), 50)
        self.assertEqual(listed - documented, set(), "switches of the help missing from the manual")
        for family in families:
            members = {name for name in documented if re.fullmatch(re.escape(family[:-1]) + r"[a-z]", name)}
            self.assertTrue(members, "no switch of the family " + family)
        # A switch the help does not spell out must still be one the program
        # takes: before /h it leads to the help, not to a command-line error.
        for name in sorted(documented - listed):
            with self.subTest(switch=name):
                taken = run(name, "/h")
                self.assertEqual((taken.returncode, taken.stdout), (1, self.help.stdout))

    @unittest.skipUnless(shutil.which("groff"), "groff not installed")
    def test_renders_without_a_warning(self):
        rendered = subprocess.run(["groff", "-man", "-Tutf8", "-ww", "-z", MANUAL],
                                  stdout=subprocess.PIPE, stderr=subprocess.PIPE, timeout=60)
        self.assertEqual((rendered.returncode, rendered.stderr.decode()), (0, ""))

    def test_names_the_version_the_help_shows(self):
        version = re.search(rb" v(\S+) ", self.help.stdout.split(b"\n")[0]).group(1).decode()
        title = next(line for line in self.roff.splitlines() if line.startswith(".TH "))
        self.assertIn('"psulan %s"' % version, title)


if __name__ == "__main__":
    unittest.main()
