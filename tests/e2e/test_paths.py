"""Where the tool finds its files: its settings file when it is started through PATH from
another folder, and every file in a folder with a Cyrillic (CP1251) name or deeper than the
260 characters that once limited Windows paths."""

import os
import shutil
import subprocess
import unittest

from omvo_e2e import (RUNNER, WINDOWS, SandboxTest, cp1251, cp866, failure_report, host_name,
                      tool_path)

DOCUMENTS = [b"omvo-covering.kml", b"omvo-covering_far.kml", b"omvo-covering_klg.kml"]


def write(path, data):
    with open(path, "wb") as f:
        f.write(data)


class Paths(SandboxTest):
    def place(self, folder):
        """Copies the executable into `folder` (CP1251 bytes, below the sandbox) with its
        settings file and a one-trip archive beside it. Returns the folder on this machine
        and the executable's path."""
        named = self.box.dir.encode() + b"/" + folder  # as the settings file names it
        here = self.box.dir.encode() + b"/" + host_name(folder)
        os.makedirs(here + b"/gpx")
        os.makedirs(here + b"/kml")
        exe = here + b"/" + os.path.basename(self.box.exe).encode()
        shutil.copy2(self.box.exe, exe)
        write(here + b"/list.txt", cp1251(
            "Велопробег: Круг\r\nКод: ab001 прочее\r\nДаты:      15 июля 2010\r\nКратко\r\n"
            "Что посмотреть: озеро, GPS-трек\r\n"))
        write(here + b"/gpx/ab001tr.gpx",
              b'<trkpt lat="54.70" lon="20.50"></trkpt>\n<trkpt lat="54.71" lon="20.5"/>\n')
        write(here + b"/omvo-covering.ini",
              b"minspeed=3\r\nmincorner=12\r\nvplistname=" + named + b"/list.txt\r\n" +
              b"gpxpath=" + named + b"/gpx/\r\nkmlpath=" + named + b"/kml/\r\n")
        return here, exe

    def assert_runs(self, here, command, cwd=None, env=None):
        done = subprocess.run(command, cwd=cwd or self.box.dir, capture_output=True,
                              timeout=120, env=env)
        self.assertEqual(done.returncode, 0, done.stdout + done.stderr)
        self.assertTrue(done.stdout.endswith(cp866("Сохранение... ok.") + b"\r\n"), done.stdout)
        self.assertEqual(sorted(os.listdir(here + b"/kml")), DOCUMENTS)

    def test_started_through_path_from_another_folder(self):
        here, _ = self.place(b"bin")
        elsewhere = self.box.path("elsewhere")
        os.mkdir(elsewhere)
        if WINDOWS:  # cmd finds it through the Windows PATH, which Wine takes from WINEPATH
            env = dict(os.environ, WINEPATH=tool_path(here.decode()))
            command = [*RUNNER, "cmd", "/c", "omvo-covering"]
        else:
            env = dict(os.environ, PATH=here.decode() + os.pathsep + os.environ["PATH"])
            command = ["omvo-covering"]
        self.assert_runs(here, command, elsewhere, env)

    def test_folder_with_a_cyrillic_name(self):
        folder = cp1251("Клуб Омск")
        here, exe = self.place(folder)
        self.assert_runs(here, [*RUNNER, exe])
        # The settings file it names: the executable's folder in the ANSI code page.
        usage = subprocess.run([*RUNNER, exe, "--help"], capture_output=True, timeout=120)
        named = tool_path(self.box.dir.encode() + b"/" + folder + b"/omvo-covering.ini")
        self.assertTrue(usage.stdout.endswith(b"\r\n" + named + b"\r\n"), usage.stdout)

    def test_path_longer_than_260_characters(self):
        folder = b"/".join([b"a-folder-of-the-club-archive-%d" % i for i in range(10)])
        self.assertGreater(len(self.box.dir) + len(folder), 300)
        here, exe = self.place(folder)
        self.assert_runs(here, [*RUNNER, exe])

    @unittest.skipIf(WINDOWS, "Windows paths have no such limit with the \\\\?\\ prefix")
    def test_an_output_folder_at_the_limit_of_a_path(self):
        # Every document's name fits in the system's 4096 bytes with its end; the temporary
        # names, 4 and 8 bytes longer, do not.
        here, exe = self.place(b"bin")
        kml = self.box.dir.encode() + b"/"
        while len(kml) < 4072:
            kml += b"k" * min(200, 4072 - len(kml) - 1) + b"/"
        self.assertEqual(len(kml), 4072)
        os.makedirs(kml)
        with open(here + b"/omvo-covering.ini", "rb") as f:
            settings = f.read()
        write(here + b"/omvo-covering.ini",
              settings.replace(here + b"/kml/", kml))
        done = subprocess.run([exe], cwd=here, capture_output=True, timeout=120)
        self.assertEqual((done.returncode, done.stdout), (1, b""))
        self.assertTrue(done.stderr.startswith(failure_report("Invalid filename")), done.stderr)
        # Named by the document the user knows, with the temporary name the system refused.
        main = kml + b"omvo-covering.kml"
        self.assertTrue(done.stderr.endswith(
            b"the file was " + main + b", while looking at " + main + b".old.tmp\r\n"),
            done.stderr)


if __name__ == "__main__":
    unittest.main()
