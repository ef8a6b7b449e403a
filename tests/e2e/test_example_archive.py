"""The bundled example club archive, run as the README's first command runs it: from the
top of the source tree, with both overlay files."""

import hashlib
import os
import re
import unittest

from omvo_e2e import CLUB_HOST, SOURCE_DIR, SandboxTest, check_kml, golden

ARCHIVE = os.path.join(SOURCE_DIR, "examples", "club")
OVERLAYS = ["examples/club/overlays/border.txt", "examples/club/overlays/ferry.txt"]
BORDER = "Государственная граница (южный участок)"
FERRY = "Паром Балтийск - Балтийская коса"

EXPECTED = {
    "omvo-covering.kml": [BORDER, FERRY, "vp101", "vp102", "vp103", "vp105", "br201",
                          "vp106(1/2)", "vp106(2/2)", "vp107", "vp108", "vp109", "vp110",
                          "vp111"],
    "omvo-covering_klg.kml": ["vp101", "vp102", "vp103", "vp105", "br201", "vp106(1/2)",
                              "vp106(2/2)", "vp108", "vp109", "vp111"],
    "omvo-covering_far.kml": [BORDER, FERRY, "vp107", "vp110"],
}
STYLES = {"vp101": "sn_day_trip", "vp102": "sn_day_trip", "vp103": "sn_night_trip",
          "vp105": "sn_short_voyage", "br201": "sn_brevet", "vp106": "sn_short_voyage",
          "vp107": "sn_long_voyage", "vp108": "sn_day_trip", "vp109": "sn_day_trip",
          "vp110": "sn_great_voyage", "vp111": "sn_day_trip"}

PLACEMARK = re.compile(r"<Placemark>\r\n<name>(.*?)</name>\r\n.*?<styleUrl>#(.*?)</styleUrl>"
                       r".*?<coordinates>(.*?)</coordinates>", re.S)


class ExampleArchive(SandboxTest):
    def setUp(self):
        super().setUp()
        if not os.path.isdir(ARCHIVE):
            self.skipTest("no example archive at " + ARCHIVE)

    def test_documents_of_the_example_run(self):
        self.box.settings(vplistname=ARCHIVE + "/vplist.txt", gpxpath=ARCHIVE + "/gpx/")
        result = self.box.run_in(SOURCE_DIR, *OVERLAYS)
        self.assertEqual(result.code, 0, result.err)
        self.assertEqual(result.err, b"")
        self.assertEqual(result.out.count(b"\r\n"), 2 + len(STYLES))

        styles_used = set()
        for name, expected_names in EXPECTED.items():
            with self.subTest(document=name):
                path = self.box.path("kml", name)
                placemarks = PLACEMARK.findall(self.box.read("kml/" + name).decode())
                self.assertEqual([p[0] for p in placemarks], expected_names)
                for placemark_name, style, coordinates in placemarks:
                    trip = placemark_name[:5]
                    if trip in STYLES:
                        self.assertEqual(style, STYLES[trip], placemark_name)
                        styles_used.add(style)
                    self.assertTrue(coordinates.strip(), placemark_name)
                points = sum(len(c.split()) for _, _, c in placemarks)
                check_kml(self, path, len(expected_names), points)
        self.assertEqual(len(styles_used), 6)

    def test_same_bytes_on_every_system_run_after_run(self):
        """The documents and the console bytes of the example run are those of the Linux
        build, kept as golden files; a second run replaces the documents of the first."""
        self.box.settings(vplistname=ARCHIVE + "/vplist.txt", gpxpath=ARCHIVE + "/gpx/")
        for run in (1, 2):
            with self.subTest(run=run):
                result = self.box.run_in(SOURCE_DIR, *OVERLAYS)
                self.assertEqual((result.code, result.err), (0, b""))
                self.assertEqual(result.out, golden("example", "console.cp866"))
                self.assertEqual(sorted(os.listdir(self.box.path("kml"))), sorted(EXPECTED))
                for name in EXPECTED:
                    self.assertEqual(self.box.read("kml/" + name), golden("example", name), name)

    def test_the_web_page_is_the_same_on_every_system(self):
        """With webpage=1 the page joins the documents, which stay as they were; its bytes are
        those of the Linux build, kept as their SHA-256 (the page holds the built-in
        libraries: a change of the page's script or style sheet changes it)."""
        self.box.settings(vplistname=ARCHIVE + "/vplist.txt", gpxpath=ARCHIVE + "/gpx/")
        with open(self.box.ini, "ab") as f:
            f.write(b"webpage=1\r\n")
        self.assert_golden_run_with_page(self.box.run_in(SOURCE_DIR, *OVERLAYS))

    def assert_golden_run_with_page(self, result):
        """The run's console, documents and page are the golden ones."""
        self.assertEqual((result.code, result.err), (0, b""))
        self.assertEqual(result.out, golden("example", "console.cp866"))
        self.assertEqual(sorted(os.listdir(self.box.path("kml"))),
                         sorted(list(EXPECTED) + ["omvo-covering.html"]))
        for name in EXPECTED:
            self.assertEqual(self.box.read("kml/" + name), golden("example", name), name)
        page = self.box.read("kml/omvo-covering.html").replace(
            b"http://%s/" % CLUB_HOST.encode(), b"http://omvo.example.org/")
        self.assertEqual(hashlib.sha256(page).hexdigest() + "\n",
                         golden("example", "omvo-covering.html.sha256").decode())

    def test_the_list_and_the_overlays_saved_as_utf8_give_the_same_bytes(self):
        """The trip list and the overlay files saved as UTF-8, with and without the
        byte-order mark (as today's editors save them), give the console bytes, the documents
        and the page of the CP1251 archive."""
        for mark in (b"", b"\xef\xbb\xbf"):
            with self.subTest(mark=mark):
                def utf8_copy(source, name):
                    with open(os.path.join(SOURCE_DIR, source), "rb") as f:
                        return self.box.write(name, mark + f.read().decode("cp1251").encode())

                self.box.settings(vplistname=utf8_copy("examples/club/vplist.txt", "list.txt"),
                                  gpxpath=ARCHIVE + "/gpx/")
                with open(self.box.ini, "ab") as f:
                    f.write(b"webpage=1\r\n")
                overlays = [utf8_copy(path, os.path.basename(path)) for path in OVERLAYS]
                self.assert_golden_run_with_page(self.box.run_in(SOURCE_DIR, *overlays))


if __name__ == "__main__":
    unittest.main()
