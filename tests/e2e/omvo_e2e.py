"""Support for end-to-end tests: a temporary folder holding a copy of the built executable,
its settings file beside it, and a small club archive made by the test."""

import os
import shutil
import subprocess
import tempfile
import unittest

EXE = os.environ.get("OMVO_EXE", "")
TEST_DATA = os.environ.get("OMVO_TEST_DATA", "")
CLUB_HOST = os.environ.get("OMVO_CLUB_HOST", "omvo.example.org")
SOURCE_DIR = os.environ.get("OMVO_SOURCE_DIR", "")


def cp866(text):
    return text.encode("cp866")


def cp1251(text):
    return text.encode("cp1251")


class Result:
    def __init__(self, completed):
        self.code = completed.returncode
        self.out = completed.stdout
        self.err = completed.stderr


class Sandbox:
    """A temporary folder with the executable copied into it."""

    def __init__(self):
        self.dir = tempfile.mkdtemp(prefix="omvo-e2e-")
        self.exe = os.path.join(self.dir, "omvo-covering")
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
                 "vplistname=" + (self.path(vplistname) if vplistname else ""),
                 "gpxpath=" + gpxpath, "kmlpath=" + kmlpath]
        self.write("omvo-covering.ini", "\r\n".join(lines) + "\r\n")

    def run(self, *args):
        completed = subprocess.run([self.exe, *args], cwd=self.dir, capture_output=True,
                                   timeout=120)
        return Result(completed)


def failure_report(message):
    return (b"Exception EInOutError in module omvo-covering at 0040A1C4.\r\n" +
            message.encode("ascii") + b".\r\n\r\n")


class SandboxTest(unittest.TestCase):
    def setUp(self):
        if not EXE:
            self.skipTest("OMVO_EXE is not set")
        self.box = Sandbox()

    def tearDown(self):
        self.box.close()
