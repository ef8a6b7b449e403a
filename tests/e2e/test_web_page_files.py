"""The web page as a file of the run's output: with webpage=1 it is written beside the three
documents and replaced with them, all four from one run or none; without the switch no page is
written or touched."""

import os
import signal
import unittest

from omvo_e2e import WINDOWS, SandboxTest, failure_report, stop_after_first_trip
from test_faults import gpx, trip_list, write_long_archive

PAGE = "omvo-covering.html"
DOCUMENTS = ["omvo-covering.kml", "omvo-covering_far.kml", "omvo-covering_klg.kml"]


class WebPageFiles(SandboxTest):
    def run_with_page(self, trips=1, points=5, webpage="1"):
        self.box.settings()
        with open(self.box.ini, "ab") as f:
            f.write(b"webpage=" + webpage.encode() + b"\r\n")
        self.box.write("list.txt", trip_list(trips))
        self.box.write("gpx/ab000tr.gpx", gpx(points))
        return self.box.run()

    def files(self):
        return self.box.files("kml")

    def test_the_page_comes_and_goes_with_the_documents(self):
        result = self.run_with_page()
        self.assertEqual((result.code, result.err), (0, b""))
        earlier = self.files()
        self.assertEqual(sorted(earlier), sorted(DOCUMENTS + [PAGE]))
        self.assertIn(b'"id":"ab000"', earlier[PAGE])

        with self.subTest("a run that stops replaces none of the four"):
            self.box.write("list.txt", trip_list(2))  # the second trip has no GPX file
            result = self.box.run()
            self.assertEqual(result.code, 1)
            self.assertEqual(self.files(), earlier)

        with self.subTest("a folder at the page's name stops the run before any trip"):
            self.box.write("list.txt", trip_list(1))
            self.box.write("gpx/ab000tr.gpx", gpx(7))
            kml = self.box.path("kml") + "/"
            os.rename(kml + PAGE, kml + "page")
            os.mkdir(kml + PAGE)
            result = self.box.run()
            self.assertEqual(result.code, 1)
            self.assertTrue(result.err.startswith(failure_report("File access denied")),
                            result.err)
            self.assertEqual(result.out, b"")
            os.rmdir(kml + PAGE)
            os.rename(kml + "page", kml + PAGE)
            self.assertEqual(self.files(), earlier)

        with self.subTest("without the switch the page stays as it was"):
            result = self.run_with_page(points=9, webpage="0")
            self.assertEqual(result.code, 0)
            now = self.files()
            self.assertEqual(now[PAGE], earlier[PAGE])
            self.assertNotEqual(now["omvo-covering.kml"], earlier["omvo-covering.kml"])

    def test_a_value_other_than_0_or_1_stops_the_run(self):
        result = self.run_with_page(webpage="yes")
        self.assertEqual(result.code, 1)
        self.assertEqual(result.out, b"")
        self.assertTrue(result.err.endswith(
            b': the value of "webpage=" is not 0 or 1: "yes"\r\n'), result.err)
        self.assertEqual(self.files(), {})

    def test_a_stop_signal_removes_the_temporary_page(self):
        result = self.run_with_page()
        self.assertEqual(result.code, 0)
        earlier = self.files()
        write_long_archive(self.box, trips=200, points=200000)
        signo, exit_code = (signal.SIGINT, 0x3A) if WINDOWS else (signal.SIGTERM,
                                                                  -signal.SIGTERM)
        code, names = stop_after_first_trip(self, self.box, signo)
        self.assertIn(PAGE + ".tmp", names)
        self.assertEqual(code, exit_code)
        self.assertEqual(self.files(), earlier)


if __name__ == "__main__":
    unittest.main()
