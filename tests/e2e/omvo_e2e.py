"""Support for end-to-end tests: a temporary folder holding a copy of the built executable,
its settings file beside it, and a small club archive made by the test."""

import os
import shlex
import shutil
import signal
import subprocess
import tempfile
import time
import unittest

EXE = os.environ.get("OMVO_EXE", "")
TEST_DATA = os.environ.get("OMVO_TEST_DATA", "")
CLUB_HOST = os.environ.get("OMVO_CLUB_HOST", "omvo.example.org")
SOURCE_DIR = os.environ.get("OMVO_SOURCE_DIR", "")
VERSION = os.environ.get("OMVO_VERSION", "")
# The command that runs the executable when it is not for this machine (Wine for a Windows
# build), in shell words; empty to run it directly.
RUNNER = shlex.split(os.environ.get("OMVO_RUNNER", ""))
# A Windows build, run under Wine: it names itself with its extension, and the files it finds
# by itself (its settings file) by their Windows paths.
WINDOWS = EXE.lower().endswith(".exe")
MODULE = "omvo-covering" + os.path.splitext(EXE)[1]


def cp866(text):
    return text.encode("cp866")


def cp1251(text):
    return text.encode("cp1251")


def tool_path(path):
    """A path of this machine (text or bytes) as the tool names it when it finds the file by
    itself: under Wine, the Linux file system is drive Z:."""
    if not WINDOWS:
        return path
    if isinstance(path, bytes):
        return b"Z:" + path.replace(b"/", b"\\")
    return "Z:" + path.replace("/", "\\")


def host_name(cp1251_name):
    """The name on this machine's file system of a file that the tool names by these CP1251
    bytes: the bytes themselves on Linux; their UTF-8 under Wine, which turns the ANSI code
    page's names into Unicode ones."""
    return cp1251_name.decode("cp1251").encode("utf-8") if WINDOWS else cp1251_name


class Result:
    def __init__(self, completed):
        self.code = completed.returncode
        self.out = completed.stdout
        self.err = completed.stderr


class Sandbox:
    """A temporary folder with the executable copied into it."""

    def __init__(self):
        self.dir = tempfile.mkdtemp(prefix="omvo-e2e-")
        # The copy keeps the extension (".exe"), so its settings file is omvo-covering.ini.
        self.exe = os.path.join(self.dir, "omvo-covering" + os.path.splitext(EXE)[1])
        shutil.copy2(EXE, self.exe)

    def close(self):
        shutil.rmtree(self.dir, ignore_errors=True)

    def path(self, *parts):
        return os.path.join(self.dir, *parts)

    def write(self, name, data):
        """Writes bytes (or text as UTF-8) to a file in the folder; returns its path."""
        full = self.path(name)
        os.makedirs(os.path.dirname(full), exist_ok=True)
        if isinstance(data, str):
            data = data.encode("utf-8")
        with open(full, "wb") as f:
            f.write(data)
        return full

    def read(self, name):
        with open(self.path(name), "rb") as f:
            return f.read()

    def files(self, folder):
        """Every file in a folder of the sandbox, by name, with its bytes."""
        return {name: self.read(os.path.join(folder, name))
                for name in os.listdir(self.path(folder))}

    def exists(self, name):
        return os.path.exists(self.path(name))

    @property
    def ini(self):
        return self.path("omvo-covering.ini")

    def settings(self, minspeed="3", mincorner="12", vplistname="list.txt", gpxpath=None,
                 kmlpath=None):
        gpxpath = gpxpath if gpxpath is not None else self.path("gpx") + "/"
        kmlpath = kmlpath if kmlpath is not None else self.path("kml") + "/"
        os.makedirs(self.path("gpx"), exist_ok=True)
        os.makedirs(self.path("kml"), exist_ok=True)
        lines = ["minspeed=" + minspeed, "mincorner=" + mincorner,
                 "vplistname=" + self.path(vplistname),  # an absolute path stays as it is
                 "gpxpath=" + gpxpath, "kmlpath=" + kmlpath]
        self.write("omvo-covering.ini", "\r\n".join(lines) + "\r\n")

    def run(self, *args, **popen):
        return self.run_in(self.dir, *args, **popen)

    def run_in(self, cwd, *args, **popen):
        """Runs the executable; `popen` adds arguments of subprocess.run (stdout, preexec_fn,
        timeout)."""
        popen.setdefault("stdout", subprocess.PIPE)
        popen.setdefault("stderr", subprocess.PIPE)
        popen.setdefault("timeout", 120)
        completed = subprocess.run(self.command(*args), cwd=cwd, **popen)
        return Result(completed)

    def command(self, *args):
        """The command line that runs the executable with these arguments."""
        return [*RUNNER, self.exe, *args]


def stop_after_first_trip(test, box, signo):
    """Runs the executable in its folder until it has written its first trip, then sends it
    the stop signal; returns its exit code and the names in its kml folder while it ran."""

    def default_stop_signals():  # whatever the test runner ignores
        for stop in (signal.SIGINT, signal.SIGTERM, signal.SIGHUP):
            signal.signal(stop, signal.SIG_DFL)

    process = subprocess.Popen(box.command(), cwd=box.dir, stdout=subprocess.PIPE,
                               stderr=subprocess.PIPE, preexec_fn=default_stop_signals)
    try:
        first = process.stdout.readline()
        test.assertTrue(first.endswith(cp866("Сохранение... ok.") + b"\r\n"), first)
        names = os.listdir(box.path("kml"))
        process.send_signal(signo)
        process.communicate(timeout=60)
        if WINDOWS:
            wait_for_wine_to_close_files(box.path("kml"))
    finally:
        if process.poll() is None:
            process.kill()
            process.wait()
    return process.returncode, names


def wait_for_wine_to_close_files(folder, seconds=20):
    """Waits until no temporary name is left in the folder, or the time is up.

    A Windows program's removal of a file it still has open takes effect when its handles
    close: on Windows as the program ends, under Wine when Wine's server gets to it after the
    program's Linux process has ended, a moment later on a busy machine. A name that never goes is still there when the time is up, for the test to see."""
    deadline = time.monotonic() + seconds
    while (any(name.endswith(".tmp") for name in os.listdir(folder)) and
           time.monotonic() < deadline):
        time.sleep(0.02)


def failure_report(message):
    return (b"Exception EInOutError in module " + MODULE.encode() + b" at 0040A1C4.\r\n" +
            message.encode("ascii") + b".\r\n\r\n")


class SandboxTest(unittest.TestCase):
    def setUp(self):
        if not EXE:
            self.skipTest("OMVO_EXE is not set")
        self.box = Sandbox()

    def tearDown(self):
        self.box.close()


def golden(*parts):
    """A golden file beside the tests; the club host of the build in place of the default."""
    with open(os.path.join(os.path.dirname(os.path.abspath(__file__)), "golden", *parts),
              "rb") as f:
        return f.read().replace(b"http://omvo.example.org/", b"http://%s/" % CLUB_HOST.encode())


SCHEMA = os.path.join(TEST_DATA, "kml-schema", "ogckml22.xsd")


def check_kml(test, path, placemarks, points):
    """Validates a document against the KML 2.2 schema offline and reads it with a real KML
    reader, expecting the given numbers of placemarks and of line points. A missing checker
    fails the test: tools/setup.sh installs both."""
    for tool in ("xmllint", "ogrinfo"):
        test.assertIsNotNone(shutil.which(tool), tool + " is missing: run tools/setup.sh")
    done = subprocess.run(["xmllint", "--noout", "--nonet", "--schema", SCHEMA, path],
                          capture_output=True)
    test.assertEqual(done.returncode, 0, done.stderr.decode(errors="replace"))
    done = subprocess.run(["ogrinfo", "-ro", "-al", "-q", path], capture_output=True)
    test.assertEqual(done.returncode, 0, done.stderr.decode(errors="replace"))
    text = done.stdout.decode(errors="replace")
    test.assertEqual(text.count("OGRFeature("), placemarks, text)
    counted = 0
    for line in text.splitlines():
        line = line.strip()
        if line.startswith("LINESTRING") and "(" in line:
            inner = line[line.index("(") + 1:line.rindex(")")]
            counted += len(inner.split(","))
    test.assertEqual(counted, points, text)
