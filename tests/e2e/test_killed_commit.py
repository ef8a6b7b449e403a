"""Runs killed while they replace their files: at a rename of a first page (three documents of
an earlier run, the page new) and of a first run into an empty folder; on Linux at each of
their renames. The kill comes from a preloaded library at the N-th rename: in the tool on
Linux; under Wine in a Wine server of the test's own, which renames the files of the Windows
programs it serves and kills the tool instead. The next run, whether it stops early at a
missing GPX file or completes, leaves exactly one run's files and nothing beside them,
whatever its own webpage setting."""

import hashlib
import os
import shutil
import signal
import subprocess
import tempfile
import unittest

from omvo_e2e import RUNNER, WINDOWS, SandboxTest
from test_faults import gpx, trip_list

KILLING_RENAME = os.environ.get("OMVO_KILLING_RENAME", "")
PAGE = "omvo-covering.html"


class KillingWineServer:
    """A Wine server of its own, on a copy of the tests' Wine prefix (hard links, the
    registry copied), with the killing rename preloaded. Runs its programs with their
    output in files: the Wine services a fresh server starts keep pipes open."""

    def __init__(self):
        words = [w for w in RUNNER if not w.startswith("WINEPREFIX=")]
        prefix = next(w for w in RUNNER if w.startswith("WINEPREFIX=")).split("=", 1)[1]
        # Beside the prefix, on its file system, where hard links may be made.
        self.dir = tempfile.mkdtemp(prefix="killing-", dir=os.path.dirname(prefix))
        self.prefix = os.path.join(self.dir, "prefix")
        subprocess.run(["cp", "-al", prefix, self.prefix], check=True)
        for name in os.listdir(prefix):
            if name.endswith(".reg"):  # the server writes these
                os.remove(os.path.join(self.prefix, name))
                shutil.copyfile(os.path.join(prefix, name), os.path.join(self.prefix, name))
        self.control = os.path.join(self.dir, "kill-at")
        self.runner = words[:-1] + ["WINEPREFIX=" + self.prefix, words[-1]]
        self.server = os.path.join(os.path.dirname(words[-1]), "wineserver")
        subprocess.run(words[:-1] + ["WINEPREFIX=" + self.prefix, "LD_PRELOAD=" + KILLING_RENAME,
                                     "OMVO_KILL_CONTROL=" + self.control, self.server, "-p"],
                       check=True)

    def close(self):
        for stop in ("-k", "-w"):
            subprocess.run(self.runner[:-1] + [self.server, stop], stderr=subprocess.DEVNULL)
        shutil.rmtree(self.dir, ignore_errors=True)

    def run_killed_at_rename(self, box, n):
        with open(self.control + ".new", "w") as f:
            f.write("%d\n" % n)
        os.replace(self.control + ".new", self.control)  # a new file: the count begins again
        with open(os.path.join(self.dir, "out"), "wb") as out:
            return subprocess.run(self.runner + [box.exe], cwd=box.dir, stdout=out,
                                  stderr=subprocess.STDOUT, timeout=120).returncode


class KilledCommit(SandboxTest):
    server = None

    @classmethod
    def setUpClass(cls):
        if WINDOWS and KILLING_RENAME:
            cls.server = KillingWineServer()

    @classmethod
    def tearDownClass(cls):
        if cls.server:
            cls.server.close()

    def setUp(self):
        super().setUp()
        if not KILLING_RENAME:
            self.skipTest("no library to preload that kills at a rename")

    def configure(self, folder, trips, points, webpage, gpx_files=None):
        """Settings for a run into `folder` of `trips` trips of `points` points each; the
        GPX files of the first `gpx_files` trips only, when given."""
        os.makedirs(self.box.path(folder), exist_ok=True)
        self.box.settings(kmlpath=self.box.path(folder) + "/")
        with open(self.box.ini, "ab") as f:
            f.write(b"webpage=" + webpage.encode() + b"\r\n")
        self.box.write("list.txt", trip_list(trips))
        for i in range(trips if gpx_files is None else gpx_files):
            self.box.write("gpx/ab%03dtr.gpx" % i, gpx(points + i))
        for i in range(trips if gpx_files is None else gpx_files, trips):
            if self.box.exists("gpx/ab%03dtr.gpx" % i):
                os.remove(self.box.path("gpx/ab%03dtr.gpx" % i))

    def files(self, folder):
        """The files of the folder by name, each as the SHA-256 of its bytes: a failure
        shows which differ, not the documents."""
        return {name: hashlib.sha256(data).hexdigest()
                for name, data in self.box.files(folder).items()}

    def run_to_end(self, folder, *config):
        self.configure(folder, *config)
        result = self.box.run()
        self.assertEqual((result.code, result.err), (0, b""))
        return self.files(folder)

    def kill_at_rename(self, n):
        if self.server:
            return self.server.run_killed_at_rename(self.box, n)
        env = {**os.environ, "LD_PRELOAD": KILLING_RENAME, "OMVO_KILL_AT_RENAME": str(n)}
        return self.box.run(env=env).code

    def check(self, earlier, killed, renames):
        """A run of `killed` settings, after one of `earlier` settings (or none), killed at
        each of its renames; then the next run, stopping early and completing."""
        killed_files = self.run_to_end("reference", *killed)
        completing = (2, 9, "0")
        completed_files = self.run_to_end("completed", *completing)
        # Under Wine, where a run takes longer, the rename after the first one only: the page,
        # or the first document of a first run, is then in place and the others are not.
        for n in [2] if WINDOWS else range(1, renames + 1):
            with self.subTest(killed_at_rename=n):
                for stops in (True, False):
                    folder = "kml-%d-%s" % (n, "stops" if stops else "completes")
                    if earlier:
                        self.run_to_end(folder, *earlier)
                    self.configure(folder, *killed)
                    self.assertEqual(self.kill_at_rename(n), -signal.SIGKILL)
                    self.assertIn("omvo-covering.commit", os.listdir(self.box.path(folder)))
                    if stops:
                        self.configure(folder, 4, 5, "0", 2)  # the third trip has no GPX file
                        self.assertEqual(self.box.run().code, 1)
                        # The killed run's commit was completed, its page with it.
                        self.assertEqual(self.files(folder), killed_files)
                    else:
                        self.configure(folder, *completing)
                        self.assertEqual(self.box.run().code, 0)
                        expected = dict(completed_files)
                        if PAGE in killed_files:
                            expected[PAGE] = killed_files[PAGE]
                        self.assertEqual(self.files(folder), expected)

    def test_a_first_page_killed_at_each_rename(self):
        # Renamed in this order: the page (which had no earlier file), far, home, main.
        self.check(earlier=(2, 5, "0"), killed=(3, 7, "1"), renames=4)

    def test_a_first_run_killed_at_each_rename(self):
        self.check(earlier=None, killed=(3, 7, "0"), renames=3)


if __name__ == "__main__":
    unittest.main()
