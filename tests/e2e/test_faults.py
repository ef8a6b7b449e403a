"""Faults from outside the tool: a full disk, a file-size limit, a console that cannot be
written, folders where files belong, stop signals. Each run that cannot complete says why,
exits with 1 (or dies by the stop signal) and leaves the documents of the last good run
exactly as they were, with no temporary file beside them."""

import os
import resource
import signal
import subprocess
import unittest

from omvo_e2e import WINDOWS, SandboxTest, cp1251, cp866, failure_report, stop_after_first_trip

SIGHTS = "Что посмотреть: озеро, GPS-трек"


def trip_list(count):
    records = ["\r\n".join(["Велопробег: Круг %d" % i, "Код: ab%03d прочее" % i,
                            "Даты:      15 июля 2010", "Краткое описание", SIGHTS])
               for i in range(count)]
    return cp1251("\r\n\r\n".join(records) + "\r\n")


def gpx(points):
    """A GPX track of `points` points along a gently bending line in the home region."""
    lines = ['<?xml version="1.0" encoding="UTF-8"?>', '<gpx version="1.1" creator="test">',
             "<trk><trkseg>"]
    lines += ['<trkpt lat="%.6f" lon="%.6f"><ele>%d</ele></trkpt>'
              % (54.5 + i * 1e-6, 20.5 + (i % 2000) * 1e-5, i % 100) for i in range(points)]
    lines += ["</trkseg></trk>", "</gpx>"]
    return "\n".join(lines) + "\n"


def write_long_archive(box, trips, points):
    """A run of a few seconds: many trips, each a link to one long track."""
    box.write("list.txt", trip_list(trips))
    box.write("long.gpx", gpx(points))
    for i in range(trips):
        link = box.path("gpx/ab%03dtr.gpx" % i)
        if os.path.lexists(link):
            os.remove(link)
        os.symlink(box.path("long.gpx"), link)


class Faults(SandboxTest):
    def setUp(self):
        super().setUp()
        self.mounted = False

    def tearDown(self):
        if self.mounted:
            subprocess.run(["umount", self.box.path("kml")], check=True)
        super().tearDown()

    def earlier_run(self, minspeed="3", mincorner="12"):
        """A good run of one short trip; returns the documents it left."""
        self.box.settings(minspeed=minspeed, mincorner=mincorner)
        self.box.write("list.txt", trip_list(1))
        self.box.write("gpx/ab000tr.gpx", gpx(5))
        result = self.box.run()
        self.assertEqual(result.code, 0, result.err)
        return self.documents()

    def documents(self):
        return self.box.files("kml")

    def assert_stopped(self, result, message, path, operation=""):
        """Exit 1 with the failure report naming the file the user knows and, for a
        document's temporary names, what failed on which."""
        self.assertEqual(result.code, 1, result.err)
        self.assertTrue(result.err.startswith(failure_report(message)), result.err)
        line = b"the file was " + path.encode()
        if operation:
            line += b", while " + operation.encode()
        self.assertIn(line + b"\r\n", result.err)

    def test_disk_full(self):
        if os.geteuid() != 0:
            self.skipTest("mounting a small tmpfs as the output folder needs root")
        self.box.settings()
        mount = subprocess.run(["mount", "-t", "tmpfs", "-o", "size=64k", "tmpfs",
                                self.box.path("kml")], capture_output=True)
        if mount.returncode != 0:
            self.skipTest("cannot mount a tmpfs: " + mount.stderr.decode(errors="replace"))
        self.mounted = True
        earlier = self.earlier_run(minspeed="0", mincorner="0")
        self.box.write("gpx/ab000tr.gpx", gpx(20000))  # about 0.5 MB per document
        result = self.box.run()
        self.assert_stopped(result, "Disk full", self.box.path("kml/omvo-covering.kml"),
                            "writing " + self.box.path("kml/omvo-covering.kml.tmp"))
        self.assertEqual(self.documents(), earlier)

    @unittest.skipIf(WINDOWS, "Windows has no file-size limit")
    def test_file_size_limit(self):
        earlier = self.earlier_run(minspeed="0", mincorner="0")
        self.box.write("gpx/ab000tr.gpx", gpx(20000))

        def limit_file_size():
            resource.setrlimit(resource.RLIMIT_FSIZE, (64 * 1024, 64 * 1024))

        result = self.box.run(preexec_fn=limit_file_size)
        self.assert_stopped(result, "Disk full", self.box.path("kml/omvo-covering.kml"),
                            "writing " + self.box.path("kml/omvo-covering.kml.tmp"))
        self.assertEqual(self.documents(), earlier)

    def test_console_that_cannot_be_written(self):
        earlier = self.earlier_run()
        with open("/dev/full", "wb") as full:
            result = self.box.run(stdout=full)
        self.assert_stopped(result, "Disk full", "stdout")
        self.assertEqual(self.documents(), earlier)
        # A pipe whose reader has gone: EPIPE, 32 on Linux and on Windows.
        reader, writer = os.pipe()
        os.close(reader)
        try:
            result = self.box.run(stdout=writer)
        finally:
            os.close(writer)
        self.assert_stopped(result, "I/O error 32", "stdout")
        self.assertEqual(self.documents(), earlier)

    def test_folders_where_files_belong(self):
        earlier = self.earlier_run()
        kml = self.box.path("kml") + "/"

        with self.subTest("temporary document"):
            os.mkdir(kml + "omvo-covering_klg.kml.tmp")
            result = self.box.run()
            self.assert_stopped(result, "File access denied", kml + "omvo-covering_klg.kml",
                                "removing " + kml + "omvo-covering_klg.kml.tmp")
            self.assertEqual(result.out, b"")
            os.rmdir(kml + "omvo-covering_klg.kml.tmp")
            self.assertEqual(self.documents(), earlier)

        with self.subTest("final document"):
            # Found before any trip is read, so no document is replaced.
            os.remove(kml + "omvo-covering.kml")
            os.mkdir(kml + "omvo-covering.kml")
            result = self.box.run()
            self.assert_stopped(result, "File access denied", kml + "omvo-covering.kml")
            self.assertEqual(result.out, b"")
            os.rmdir(kml + "omvo-covering.kml")
            self.assertEqual(sorted(os.listdir(kml)),
                             ["omvo-covering_far.kml", "omvo-covering_klg.kml"])
            self.assertEqual(self.box.run().code, 0)
            earlier = self.documents()

        with self.subTest("GPX file"):
            os.remove(self.box.path("gpx/ab000tr.gpx"))
            os.mkdir(self.box.path("gpx/ab000tr.gpx"))
            result = self.box.run()
            self.assertEqual(result.code, 1)
            self.assertEqual(result.out, cp866("Загрузка ") + b"ab000tr.gpx" + cp866("Файл ") +
                             self.box.path("gpx/ab000tr.gpx").encode() +
                             cp866(" не найден!") + b"\r\n")
            self.assertEqual(self.documents(), earlier)

        with self.subTest("trip list"):
            os.remove(self.box.path("list.txt"))
            os.mkdir(self.box.path("list.txt"))
            result = self.box.run()
            self.assert_stopped(result, "File access denied", self.box.path("list.txt"))
            self.assertEqual(self.documents(), earlier)

    def test_stop_signal_removes_the_temporary_documents(self):
        earlier = self.earlier_run()
        write_long_archive(self.box, trips=200, points=200000)
        temporary = sorted(name + ".tmp" for name in earlier)

        # Windows knows only Ctrl-C and its kin, which Wine makes of SIGINT; a stopped program
        # exits with 0xC000013A, of which Linux sees the low byte.
        stops = [(signal.SIGINT, 0x3A)] if WINDOWS else [
            (signal.SIGTERM, -signal.SIGTERM), (signal.SIGINT, -signal.SIGINT),
            (signal.SIGHUP, -signal.SIGHUP)]
        for signo, exit_code in stops:
            with self.subTest(signal=signo.name):
                code, names = stop_after_first_trip(self, self.box, signo)
                self.assertEqual(sorted(set(names) - set(earlier)), temporary)
                self.assertEqual(code, exit_code)
                self.assertEqual(self.documents(), earlier)


if __name__ == "__main__":
    unittest.main()
