"""Command files for end-to-end tests: written into a temporary directory of
the test, passed to the program by their path (wine maps Unix paths too)."""
import os
import shutil
import tempfile

from tcp_support import FakeCase


class CommandFileCase(FakeCase):
    """A FakeCase that can write command files."""

    def command_file(self, data, name="commands.txt"):
        """Writes data (bytes) to a new file and returns its path."""
        directory = tempfile.mkdtemp(prefix="psulan-files-")
        self.addCleanup(shutil.rmtree, directory, True)
        path = os.path.join(directory, name)
        with open(path, "wb") as out:
            out.write(data)
        return path

    def directory(self):
        path = tempfile.mkdtemp(prefix="psulan-dir-")
        self.addCleanup(shutil.rmtree, path, True)
        return path
