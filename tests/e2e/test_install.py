"""Installing into a staging folder (DESTDIR): everything lands inside it, and the settings
file written for the example archive names the final place."""

import os
import shutil
import subprocess
import tempfile
import unittest

BUILD_DIR = os.environ.get("OMVO_BUILD_DIR", "")
CMAKE = os.environ.get("OMVO_CMAKE", "cmake")


class Install(unittest.TestCase):
    def setUp(self):
        if not BUILD_DIR:
            self.skipTest("OMVO_BUILD_DIR is not set")
        self.dir = tempfile.mkdtemp(prefix="omvo-install-")

    def tearDown(self):
        shutil.rmtree(self.dir, ignore_errors=True)

    def test_staged_install_writes_only_into_the_staging_folder(self):
        prefix = os.path.join(self.dir, "final")
        stage = os.path.join(self.dir, "stage")
        done = subprocess.run([CMAKE, "--install", BUILD_DIR, "--prefix", prefix],
                              env=dict(os.environ, DESTDIR=stage), capture_output=True)
        self.assertEqual(done.returncode, 0, done.stderr.decode(errors="replace"))
        self.assertFalse(os.path.exists(prefix))
        staged = stage + prefix
        self.assertTrue(os.path.isfile(os.path.join(staged, "bin", "omvo-covering")))
        with open(os.path.join(staged, "bin", "omvo-covering.ini"), "rb") as f:
            ini = f.read().decode()
        archive = prefix + "/share/omvo-covering/examples/club"
        self.assertIn("vplistname=" + archive + "/vplist.txt\r\n", ini)
        self.assertIn("gpxpath=" + archive + "/gpx/\r\n", ini)
        self.assertTrue(os.path.isfile(stage + archive + "/vplist.txt"))


if __name__ == "__main__":
    unittest.main()
