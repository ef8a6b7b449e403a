"""Installing into a staging folder (DESTDIR): everything lands inside it, and the settings
file written for the example archive names the final place. A Windows build installs the
folder its ZIP package holds, which runs the example as its README.txt says."""

import os
import shutil
import subprocess
import tempfile
import unittest

from omvo_e2e import RUNNER, WINDOWS, golden

BUILD_DIR = os.environ.get("OMVO_BUILD_DIR", "")
CMAKE = os.environ.get("OMVO_CMAKE", "cmake")
DOCUMENTS = ["omvo-covering.kml", "omvo-covering_klg.kml", "omvo-covering_far.kml"]


class Install(unittest.TestCase):
    def setUp(self):
        if not BUILD_DIR:
            self.skipTest("OMVO_BUILD_DIR is not set")
        self.dir = tempfile.mkdtemp(prefix="omvo-install-")

    def tearDown(self):
        shutil.rmtree(self.dir, ignore_errors=True)

    def staged_install(self):
        """Installs with DESTDIR; returns the final prefix and the staged copy of it."""
        prefix = os.path.join(self.dir, "final")
        stage = os.path.join(self.dir, "stage")
        done = subprocess.run([CMAKE, "--install", BUILD_DIR, "--prefix", prefix],
                              env=dict(os.environ, DESTDIR=stage), capture_output=True)
        self.assertEqual(done.returncode, 0, done.stderr.decode(errors="replace"))
        self.assertFalse(os.path.exists(prefix))
        return prefix, stage + prefix

    @unittest.skipIf(WINDOWS, "a Windows build installs the folder of its package")
    def test_staged_install_writes_only_into_the_staging_folder(self):
        prefix, staged = self.staged_install()
        self.assertTrue(os.path.isfile(os.path.join(staged, "bin", "omvo-covering")))
        with open(os.path.join(staged, "bin", "omvo-covering.ini"), "rb") as f:
            ini = f.read().decode()
        archive = prefix + "/share/omvo-covering/examples/club"
        self.assertIn("vplistname=" + archive + "/vplist.txt\r\n", ini)
        self.assertIn("gpxpath=" + archive + "/gpx/\r\n", ini)
        self.assertTrue(os.path.isfile(os.path.join(staged, archive[len(prefix) + 1:],
                                                    "vplist.txt")))

    @unittest.skipUnless(WINDOWS, "only a Windows build is packaged as one folder")
    def test_package_folder_runs_the_example_as_its_readme_says(self):
        _, folder = self.staged_install()
        with open(os.path.join(folder, "README.txt"), "rb") as f:
            readme = f.read()
        self.assertTrue(readme.startswith(b"\xef\xbb\xbf"))  # UTF-8 that Notepad recognises
        command = (b"omvo-covering.exe examples\\club\\overlays\\border.txt "
                   b"examples\\club\\overlays\\ferry.txt\r\n")
        self.assertIn(command, readme)
        self.assertFalse(os.path.exists(os.path.join(folder, "examples", "club", "generate.py")))
        done = subprocess.run([*RUNNER, *command.decode().split()], cwd=folder,
                              capture_output=True, timeout=120)
        self.assertEqual((done.returncode, done.stderr), (0, b""))
        self.assertEqual(done.stdout, golden("example", "console.cp866"))
        for name in DOCUMENTS:
            with open(os.path.join(folder, name), "rb") as f:
                self.assertEqual(f.read(), golden("example", name), name)


if __name__ == "__main__":
    unittest.main()
