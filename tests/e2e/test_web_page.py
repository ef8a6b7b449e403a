"""The web page of a run with webpage=1, opened from file:// in headless Chromium with the
network blocked: each layer draws exactly the placemarks of its document, the legend counts
them, the controls work, and hostile trip texts run nothing."""

import importlib.machinery
import importlib.util
import os
import re
import unittest

import omvo_browser as ob
from omvo_e2e import CLUB_HOST, EXE, SOURCE_DIR, WINDOWS, Sandbox, cp1251

ARCHIVE = os.path.join(SOURCE_DIR, "examples", "club")
EXAMPLE_OVERLAYS = ["examples/club/overlays/border.txt", "examples/club/overlays/ferry.txt"]
# The layers of the page's switch, in its order, and the documents they draw.
DOCUMENTS = ("omvo-covering.kml", "omvo-covering_klg.kml", "omvo-covering_far.kml")
PAGE = "omvo-covering.html"


def trip_of(name):
    """The trip id of a placemark name: without its "(j/n)"."""
    return re.sub(r"\(\d+/\d+\)$", "", name)


def style_group(style):
    return style if style in ob.STYLES else "other"


class PageRun:
    """The tests every archive gets; a class adds the archive (make_archive) and mixes in
    unittest.TestCase."""

    # Resource addresses whose failure to load the test expects (an image a description
    # names).
    allowed_failures = ()

    @classmethod
    def make_archive(cls, box):
        """Writes the archive and settings; returns (folder to run in, overlay arguments,
        overlay names)."""
        raise NotImplementedError

    @classmethod
    def setUpClass(cls):
        if not EXE:
            raise unittest.SkipTest("OMVO_EXE is not set")
        if WINDOWS:
            raise unittest.SkipTest("the browser reads the Linux build's page; "
                                    "test_example_archive holds the Windows page to it")
        missing = ob.missing_tools()
        if missing:
            raise AssertionError("missing %s: run tools/setup.sh" % ", ".join(missing))
        cls.box = Sandbox()
        try:
            cwd, arguments, cls.overlay_names = cls.make_archive(cls.box)
            result = cls.box.run_in(cwd, *arguments)
            if result.code != 0:
                raise AssertionError(result.err.decode(errors="replace"))
            cls.documents = [ob.read_document(cls.box.path("kml", name)) for name in DOCUMENTS]
            cls.page = cls.box.path("kml", PAGE)
            with open(cls.page, "rb") as f:
                cls.data = ob.page_data(f.read())
            cls.browser = ob.Browser()
        except BaseException:
            cls.box.close()
            raise

    @classmethod
    def tearDownClass(cls):
        cls.browser.close()
        cls.box.close()

    def setUp(self):
        self.browser.open(self.page)

    def tearDown(self):
        self.assertEqual(self.browser.errors(self.allowed_failures), [])

    def expected_legend(self, features):
        """{style: (trips, km)} of a document's placemarks; overlays count their lines."""
        trips, km = {}, {}
        for name, _, style, points in features:
            overlay = name in self.overlay_names
            group = "other" if overlay else style_group(style)
            trips.setdefault(group, set()).add(name if overlay else trip_of(name))
            km[group] = km.get(group, 0.0) + ob.length_km(points)
        return {g: (len(trips[g]), km[g]) for g in trips}

    def data_lines(self, layer):
        """(name, description, style group, points) of every line of the page's data in the
        layer, in data order."""
        lines = []
        for item in self.data["items"]:
            if not item["m"] & (1 << layer):
                continue
            group = self.data["styles"][item["k"]]["id"] if item["k"] >= 0 else "other"
            for name, flat in item["s"]:
                lines.append((name, item["d"], group, list(zip(flat[0::2], flat[1::2]))))
        return lines

    def test_every_layer_draws_the_placemarks_of_its_document(self):
        for layer, features in enumerate(self.documents):
            with self.subTest(document=DOCUMENTS[layer]):
                self.browser.choose_layer(layer)
                # The data: the placemarks of the document, in its order, with the same names,
                # descriptions, styles and points.
                lines = self.data_lines(layer)
                self.assertEqual([line[:3] for line in lines],
                                 [(n, d, style_group(s)) for n, d, s, _ in features])
                for line, feature in zip(lines, features):
                    self.assertEqual(len(line[3]), len(feature[3]), line[0])
                    for a, b in zip(line[3], feature[3]):
                        self.assertAlmostEqual(a[0], b[0], places=9)
                        self.assertAlmostEqual(a[1], b[1], places=9)
                # The drawing: one line a placemark, per style; the legend's counts.
                self.assertEqual(self.browser.drawn(), len(features))
                legend = self.browser.legend()
                expected = self.expected_legend(features)
                for group in ob.STYLES + ("other",):
                    self.assertEqual(self.browser.drawn(group),
                                     sum(style_group(f[2]) == group for f in features), group)
                    trips, km = expected.get(group, (0, 0.0))
                    if group in legend:
                        self.assertEqual(legend[group][0], trips, group)
                        self.assertLessEqual(abs(legend[group][1] - km), 0.5 + 1e-6, group)
                    else:
                        self.assertEqual(trips, 0, group)
                self.assertEqual(set(ob.STYLES) - set(legend), set())

    def test_a_class_can_be_hidden_and_shown_again(self):
        features = self.documents[0]
        counts = {g: sum(style_group(f[2]) == g for f in features) for g in ob.STYLES}
        group = max(counts, key=counts.get)
        legend = self.browser.legend()
        toggle = self.browser.driver.find_element("id", "omvo-class-" + group)
        toggle.click()
        self.assertEqual(self.browser.drawn(group), 0)
        self.assertEqual(self.browser.drawn(), len(features) - counts[group])
        self.assertEqual(self.browser.legend(), legend)
        # Another layer keeps the class hidden.
        self.browser.choose_layer(2)
        self.assertEqual(self.browser.drawn(group), 0)
        self.browser.choose_layer(0)
        toggle.click()
        self.assertEqual(self.browser.drawn(group), counts[group])
        self.assertEqual(self.browser.drawn(), len(features))

    def assertShows(self, name):
        """Waits for the popup of the placemark name."""
        self.assertEqual(self.browser.wait_for(
            "const h = document.querySelector('.omvo-popup h2');"
            "return h && h.textContent === arguments[0] && h.textContent", name), name)

    def check_popup(self, popup, name):
        self.assertIsNotNone(popup)
        shown, link, target = popup
        self.assertEqual(shown, name)
        if name not in self.overlay_names:
            self.assertEqual(link, "http://%s/ru/vplist.php#%s" % (CLUB_HOST, trip_of(name)))
            self.assertEqual(target, "_blank")


class ExamplePage(PageRun, unittest.TestCase):
    """The bundled example club archive with its two overlays."""

    @classmethod
    def make_archive(cls, box):
        box.settings(vplistname=ARCHIVE + "/vplist.txt", gpxpath=ARCHIVE + "/gpx/")
        with open(box.ini, "ab") as f:
            f.write(b"webpage=1\r\n")
        names = {"Государственная граница (южный участок)", "Паром Балтийск - Балтийская коса"}
        return SOURCE_DIR, EXAMPLE_OVERLAYS, names

    def test_a_click_on_a_line_opens_its_popup(self):
        names = [f[0] for f in self.documents[0]]
        clicked = []
        for path in self.browser.driver.find_elements("css selector", "path.omvo-line"):
            popup = self.browser.click_line(path)
            if popup is not None:
                self.check_popup(popup, popup[0])
                clicked.append(popup[0])
        # Lines lie over each other near the club's home; most can be clicked somewhere.
        self.assertGreaterEqual(len(set(clicked)), len(names) - 3, clicked)
        self.assertLessEqual(set(clicked), set(names))

    def test_search_by_id_or_heading_words_zooms_to_the_trip(self):
        driver = self.browser.driver
        zoom = self.browser.js("return omvoMap.getZoom()")
        box = driver.find_element("css selector", ".omvo-search input")
        box.send_keys("VP107\n")
        self.assertShows("vp107")
        self.assertEqual(self.browser.js("return location.hash"), "#vp107")
        self.assertGreater(self.browser.js("return omvoMap.getZoom()"), zoom)
        box.clear()
        box.send_keys("куршская")  # a word of the heading
        results = driver.find_elements("css selector", ".omvo-results button")
        self.assertIn("vp107", [r.text.split(" ")[0] for r in results])
        for result in results:
            self.assertIn("куршская", result.text.lower())
        box.clear()
        box.send_keys("велопробег янтарный")  # two words, not side by side
        results = driver.find_elements("css selector", ".omvo-results button")
        self.assertTrue(results)
        name = results[0].text.split(" ")[0]
        results[0].click()
        self.assertShows(name)
        self.assertEqual(self.browser.js("return location.hash"), "#" + name)

    def test_the_address_shows_a_trip_at_load_and_when_it_changes(self):
        self.browser.open(self.page, "#vp110")
        self.assertShows("vp110")
        bounds = self.browser.js(
            "const b = omvoMap.getBounds(); return [b.getSouth(), b.getWest(), b.getNorth(),"
            " b.getEast()]")
        for _, _, _, points in (f for f in self.documents[0] if f[0] == "vp110"):
            for lat, lon in points:
                self.assertTrue(bounds[0] <= lat <= bounds[2] and bounds[1] <= lon <= bounds[3])
        # A far trip asked for while the home layer is shown: the switch goes to all trips.
        self.browser.choose_layer(1)
        self.browser.js("location.hash = 'vp107'")
        self.assertShows("vp107")
        self.assertTrue(self.browser.js(
            "return document.querySelectorAll('.omvo-layers input')[0].checked"))
        # An unknown id changes nothing and breaks nothing.
        self.browser.js("location.hash = 'zz999'")
        self.assertEqual(self.browser.drawn(), len(self.documents[0]))

    def test_screenshot_for_the_readme(self):
        """The README's picture, from this run: build/example-page.png."""
        build = os.environ.get("OMVO_BUILD_DIR")
        if build:
            self.browser.driver.save_screenshot(os.path.join(build, "example-page.png"))


def gpx(points):
    return ("<gpx><trk><trkseg>" + "".join(
        '<trkpt lat="%.5f" lon="%.5f"></trkpt>' % p for p in points) +
        "</trkseg></trk></gpx>").encode()


class HostilePage(PageRun, unittest.TestCase):
    """Trip records and overlays that try to run script in the page or to break it."""

    # The page's Content-Security-Policy reports the handlers of the descriptions as blocked
    # when the sanitizer parses them, and the image of <img src=x>, which no file:// address
    # may bring.
    allowed_failures = ("Executing inline event handler violates",
                        "Loading the image 'file://")

    HOSTILE = [
        ("hs001", "Велопробег: </script><script>window.omvoRan=1</script>",
         "<script>window.omvoRan=2</script>summary"),
        ("hs002", "Велопробег: img", '<img src=x onerror="window.omvoRan=3">'),
        ("hs003", "Велопробег: link", '<a href="javascript:window.omvoRan=4">go</a>'),
        ("hs004", "Бревет: comment", "<!--<script>window.omvoRan=5</script>-->"),
        ("hs005", "Велопоход: \u2028sep\u2029", '<svg onload="window.omvoRan=6"></svg>'
                                                 '<iframe src="javascript:parent.omvoRan=7">'),
    ]
    OVERLAY_NAME = "</script><script>window.omvoRan=8</script>"

    @classmethod
    def make_archive(cls, box):
        box.settings()
        with open(box.ini, "ab") as f:
            f.write(b"webpage=1\r\n")
        records = []
        for k, (trip_id, heading, summary) in enumerate(cls.HOSTILE):
            heading = heading.replace("\u2028", "").replace("\u2029", "")
            records.append("\r\n".join([heading, "Код: " + trip_id, "Даты: 12 июня 2010",
                                        summary, "Что посмотреть: GPS-трек"]))
            box.write("gpx/%str.gpx" % trip_id,
                      gpx([(54.7 + 0.01 * k, 20.5 + 0.02 * j) for j in range(4)]))
        box.write("list.txt", cp1251("\r\n\r\n".join(records) + "\r\n"))
        # An overlay with invalid UTF-8 in its style and its coordinates.
        box.write("overlay.txt", cp1251("name=" + cls.OVERLAY_NAME + "\r\n"
                                        "descr=<img src=x onerror=window.omvoRan=9>\r\n") +
                  b"style=sn_brevet\xff\xfe\r\nfile=" + box.path("line.kml").encode() + b"\r\n")
        box.write("line.kml", b"<coordinates>20.1,54.5,0\xc3 20.2,54.6,0\xff "
                              b"20.3,54.65,0\xed\xa0\x80</coordinates>")
        return box.dir, [box.path("overlay.txt")], {cls.OVERLAY_NAME}

    def test_nothing_runs_and_every_line_is_drawn_and_opens(self):
        self.assertEqual(self.browser.drawn(), len(self.documents[0]))
        self.assertEqual(self.browser.drawn(), len(self.HOSTILE) + 1)
        for path in self.browser.driver.find_elements("css selector", "path.omvo-line"):
            popup = self.browser.click_line(path)
            self.check_popup(popup, popup[0] if popup else None)
        for trip_id, _, _ in self.HOSTILE:
            self.browser.js("location.hash = arguments[0]", trip_id)
            self.assertShows(trip_id)
            # The sanitizer kept no script, handler or script address.
            html = self.browser.js("return document.querySelector('.omvo-popup').innerHTML")
            self.assertNotRegex(html.lower(), r"<script|<iframe|onerror|onload|javascript:")
        self.assertIsNone(self.browser.js("return window.omvoRan"))


def load_bench_generator():
    """The club archive generator of bench/run_bench."""
    path = os.path.join(SOURCE_DIR, "bench", "run_bench")
    loader = importlib.machinery.SourceFileLoader("run_bench", path)
    spec = importlib.util.spec_from_loader("run_bench", loader)
    module = importlib.util.module_from_spec(spec)
    loader.exec_module(module)
    return module


class GeneratedPage(PageRun, unittest.TestCase):
    """A generated archive of 60 trips of every kind, a fifth of them far."""

    @classmethod
    def make_archive(cls, box):
        folder = box.path("club")
        os.makedirs(folder)
        load_bench_generator().archive(folder, dict(trips=60, points=600, far=0.2,
                                                    seed=20120501))
        box.settings(vplistname=folder + "/vplist.txt", gpxpath=folder + "/gpx/")
        with open(box.ini, "ab") as f:
            f.write(b"webpage=1\r\n")
        return box.dir, [], set()


if __name__ == "__main__":
    unittest.main()
