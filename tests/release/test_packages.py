"""The release packages as a user gets them: unpacked, their program shows the help.

PSULAN_PACKAGES names the folder that scripts/package filled. The test process
runs inside a private network namespace (tests/netns-run): the Windows program
runs under wine with a wine server of its own there (scripts/wine-session), in
the prefix WINEPREFIX (made from PSULAN_WINE_TEMPLATE when that is set).
"""
import glob
import gzip
import os
import re
import shutil
import subprocess
import tempfile
import unittest
import zipfile

PACKAGES = os.environ.get("PSULAN_PACKAGES", "")
ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
WINE = os.environ.get("PSULAN_WINE", "/usr/lib/wine/wine64")
LAST_HELP_LINE = b" /eol    - a TCP reply ends at its first line terminator instead of after 50 ms of silence"


def the_package(pattern):
    found = glob.glob(os.path.join(PACKAGES, pattern))
    if len(found) > 1:
        raise AssertionError("more than one package: %s" % found)
    return found[0] if found else None


DEB = the_package("psulan_*.deb")
ZIP = the_package("psulan-*-win64.zip")


def run(command, **options):
    return subprocess.run(command, stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                          stdin=subprocess.DEVNULL, timeout=120, **options)


def help_version(first_line, system):
    """The version in the help's first line, which must name the build's system."""
    match = re.fullmatch(rb"Command line configurator for Rurev Izurovozeva PSU's by www\.psulan\.example "
                         rb"v(\S+) " + system + rb" x86_64", first_line)
    if not match:
        raise AssertionError("not the help's first line: %r" % first_line)
    return match.group(1).decode()


@unittest.skipUnless(DEB, "no Debian package built")
class DebianPackage(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        info = run(["dpkg-deb", "-I", DEB, "control"], check=True).stdout.decode()
        cls.control = dict(re.findall(r"^([A-Za-z-]+): ?(.*)$", info, re.M))
        cls.tree = tempfile.mkdtemp(prefix="psulan-deb.")
        run(["dpkg-deb", "-x", DEB, cls.tree], check=True)

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.tree)

    def test_control_fields(self):
        fields = {key: self.control.get(key) for key in
                  ("Package", "Section", "Priority", "Maintainer", "Description")}
        self.assertEqual(fields, {
            "Package": "psulan",
            "Section": "electronics",
            "Priority": "optional",
            "Maintainer": "psulan developers <psulan@psulan.example>",
            "Description": "find, set up and command lab power supplies on a local network",
        })
        # The program is linked against the C library alone.
        self.assertRegex(self.control.get("Depends", ""), r"^libc6 \(>= [0-9.]+\)$")
        self.assertEqual(os.path.basename(DEB), "psulan_%s_%s.deb" % (self.control["Version"],
                                                                      self.control["Architecture"]))

    def test_unpacked_program_shows_the_help_of_the_package_version(self):
        shown = run([os.path.join(self.tree, "usr/bin/psulan"), "/?"])
        lines = shown.stdout.split(b"\n")
        self.assertEqual((shown.returncode, len(lines), lines[-2:]), (1, 69, [LAST_HELP_LINE, b""]))
        self.assertEqual(help_version(lines[0], b"Linux"), self.control["Version"])

    def test_holds_the_manual_page_and_the_documents(self):
        with gzip.open(os.path.join(self.tree, "usr/share/man/man1/psulan.1.gz"), "rt") as page:
            self.assertIn('"psulan %s"' % self.control["Version"], page.readline() + page.readline())
        files = sorted(os.listdir(os.path.join(self.tree, "usr/share/doc/psulan")))
        self.assertEqual(files, ["README", "changelog.gz", "copyright"])

    @unittest.skipUnless(shutil.which("lintian"), "lintian not installed")
    def test_lintian_finds_no_error(self):
        checked = run(["lintian", "--fail-on", "error", DEB])
        errors = [line for line in checked.stdout.decode().splitlines() if line.startswith("E:")]
        self.assertEqual((checked.returncode, errors), (0, []))


@unittest.skipUnless(ZIP, "no Windows zip built")
class WindowsZip(unittest.TestCase):
    def test_holds_the_program_and_a_readme_with_crlf_line_ends(self):
        with zipfile.ZipFile(ZIP) as archive:
            self.assertEqual(sorted(archive.namelist()), ["README.txt", "psulan.exe"])
            readme = archive.read("README.txt")
        self.assertEqual(readme.count(b"\n"), readme.count(b"\r\n"))
        self.assertGreater(readme.count(b"\r\n"), 50)
        self.assertNotIn(b"\r\r", readme)
        self.assertEqual(readme.split(b"\r\n")[0], b"psulan " + self.zip_version().encode())

    @staticmethod
    def zip_version():
        return re.fullmatch(r"psulan-(.+)-win64\.zip", os.path.basename(ZIP)).group(1)

    @unittest.skipUnless(os.access(WINE, os.X_OK), "wine not installed")
    @unittest.skipIf(os.environ.get("PSULAN_WINE_UNUSABLE") == "1", "wine runs none of its own programs here")
    def test_unpacked_program_shows_the_help_under_wine(self):
        folder = tempfile.mkdtemp(prefix="psulan-zip.")
        try:
            with zipfile.ZipFile(ZIP) as archive:
                archive.extractall(folder)
            environment = dict(os.environ, WINEDEBUG="-all")
            environment.setdefault("WINEPREFIX", os.path.join(folder, "wineprefix"))
            shown = run([os.path.join(ROOT, "scripts/wine-session"), WINE,
                         os.path.join(folder, "psulan.exe"), "/?"], env=environment)
        finally:
            shutil.rmtree(folder)
        lines = shown.stdout.split(b"\r\n")
        self.assertEqual((shown.returncode, len(lines), lines[-2:]), (1, 69, [LAST_HELP_LINE, b""]),
                         shown.stderr.decode(errors="replace"))
        self.assertEqual(help_version(lines[0], b"Win64"), self.zip_version())


if __name__ == "__main__":
    unittest.main()
