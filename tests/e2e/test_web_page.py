"""The web page of a run with webpage=1, opened from file:// in headless Chromium with the
network blocked, at a desktop's and a phone's size: each layer draws exactly the placemarks of
its document, the legend counts them and hides exactly a class or an overlay, a click reaches
every line (a list offers the lines under a shared point), the search and the addresses find
trips, the keyboard, the phone, paper and a reader without scripts are served, and hostile
trip texts neither run nor reach outside their popup nor call the network.

The page is the same bytes in every build (test_example_archive holds its hash), so only the
Release build runs these: the sanitizer builds would try the same page again."""

import importlib.machinery
import importlib.util
import os
import re
import struct
import unittest

import omvo_browser as ob
from omvo_e2e import CLUB_HOST, EXE, SOURCE_DIR, WINDOWS, Sandbox, cp1251

ARCHIVE = os.path.join(SOURCE_DIR, "examples", "club")
EXAMPLE_OVERLAYS = ["examples/club/overlays/border.txt", "examples/club/overlays/ferry.txt"]
# The layers of the page's switch, in its order, and the documents they draw.
DOCUMENTS = ("omvo-covering.kml", "omvo-covering_klg.kml", "omvo-covering_far.kml")
PAGE = "omvo-covering.html"
SIZES = tuple(ob.SIZES)
# How far the page's points may lie from the documents': half a unit of its coordinates.
TOLERANCE_DEGREES = 0.5 / ob.UNITS_PER_DEGREE + 1e-9
MONTHS = ("января", "февраля", "марта", "апреля", "мая", "июня", "июля", "августа",
          "сентября", "октября", "ноября", "декабря")


def trip_of(name):
    """The trip id of a placemark name: without its "(j/n)"."""
    return re.sub(r"\(\d+/\d+\)$", "", name)


def style_group(style):
    return style if style in ob.STYLES else "other"


class PageRun:
    """The tests every archive gets; a class adds the archive (make_archive) and mixes in
    unittest.TestCase. One browser serves all tests of a class."""

    # Texts of console errors the test expects.
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
        if os.environ.get("OMVO_SANITIZED") == "1":
            raise unittest.SkipTest("the page is the Release build's bytes, tried there")
        missing = ob.missing_tools()
        if missing:
            raise AssertionError("missing %s: run tools/setup.sh" % ", ".join(missing))
        cls.box = Sandbox()
        try:
            cwd, arguments, cls.overlay_names = cls.make_archive(cls.box)
            with open(cls.box.ini, "ab") as f:
                f.write(b"webpage=1\r\n")
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
        self.open("desktop")

    def tearDown(self):
        self.assertEqual(self.browser.errors(self.allowed_failures), [])

    def open(self, size, fragment=""):
        self.browser.emulate(size)
        self.browser.open(self.page, fragment)

    def item_index(self, name):
        return next(k for k, item in enumerate(self.data["items"])
                    if item.get("id", item.get("n")) == name)

    def expected_legend(self, features):
        """{class id: (trips, km)} and {overlay name: (None, km)} of a document's placemarks."""
        trips, km = {}, {}
        for name, _, style, points in features:
            overlay = name in self.overlay_names
            key = name if overlay else style_group(style)
            if not overlay:
                trips.setdefault(key, set()).add(trip_of(name))
            km[key] = km.get(key, 0.0) + ob.length_km(points)
        return {key: (len(trips[key]) if key in trips else None, km[key]) for key in km}

    def test_every_layer_draws_the_placemarks_of_its_document(self):
        for layer, features in enumerate(self.documents):
            with self.subTest(document=DOCUMENTS[layer]):
                self.browser.choose_layer(layer)
                # The data: the placemarks of the document, in its order, with the same names,
                # descriptions, styles and points.
                lines = ob.page_lines(self.data, layer)
                self.assertEqual([line[:3] for line in lines],
                                 [(n, d, style_group(s)) for n, d, s, _ in features])
                for line, feature in zip(lines, features):
                    self.assertEqual(len(line[3]), len(feature[3]), line[0])
                    for a, b in zip(line[3], feature[3]):
                        self.assertLessEqual(abs(a[0] - b[0]), TOLERANCE_DEGREES, line[0])
                        self.assertLessEqual(abs(a[1] - b[1]), TOLERANCE_DEGREES, line[0])
                # The drawing: one line a placemark, per class; the legend's counts.
                self.assertEqual(self.browser.drawn(), len(features))
                legend = self.browser.legend()
                expected = self.expected_legend(features)
                for group in ob.STYLES + ("other",):
                    self.assertEqual(self.browser.drawn(group), sum(
                        ("other" if f[0] in self.overlay_names else style_group(f[2])) == group
                        for f in features), group)
                for key, (trips, km) in legend.items():
                    nothing = (None if key in self.overlay_names else 0, 0.0)
                    self.assertEqual(trips, expected.get(key, nothing)[0], key)
                    self.assertLessEqual(abs(km - expected.get(key, nothing)[1]), 0.5 + 1e-6,
                                         key)
                self.assertEqual(set(legend), set(ob.STYLES) | self.overlay_names)

    def test_a_toggle_hides_exactly_its_class_or_overlay(self):
        features = self.documents[0]
        counts = {g: sum(style_group(f[2]) == g and f[0] not in self.overlay_names
                         for f in features) for g in ob.STYLES}
        group = max(counts, key=counts.get)
        legend = self.browser.legend()
        toggle = self.browser.driver.find_element("id", "omvo-class-" + group)
        toggle.click()
        self.assertFalse(toggle.is_selected())
        # Overlays drawn in the class's style stay.
        self.assertEqual(self.browser.js(
            "return omvoPage.drawnItems().filter(i => i.isTrip && omvoPage.model.classes["
            "i.classIndex].id === arguments[0]).length", group), 0)
        self.assertEqual(self.browser.drawn(), len(features) - counts[group])
        self.assertEqual(self.browser.legend(), legend)
        # Another layer keeps the class hidden.
        self.browser.choose_layer(2)
        self.assertEqual(self.browser.js(
            "return omvoPage.drawnItems().filter(i => i.isTrip && omvoPage.model.classes["
            "i.classIndex].id === arguments[0]).length", group), 0)
        self.browser.choose_layer(0)
        toggle.click()
        self.assertEqual(self.browser.drawn(), len(features))
        for k, item in enumerate(self.data["items"]):
            if "n" not in item:
                continue
            with self.subTest(overlay=item["n"]):
                self.browser.driver.find_element("id", "omvo-overlay-%d" % k).click()
                self.assertEqual(self.browser.drawn(), len(features) - len(item["s"]))
                self.assertNotIn(item["n"], self.browser.js(
                    "return omvoPage.drawnItems().map(i => i.name)"))
                self.browser.driver.find_element("id", "omvo-overlay-%d" % k).click()
                self.assertEqual(self.browser.drawn(), len(features))

    def assertShows(self, name):
        """Waits for the popup of the name."""
        self.assertEqual(self.browser.wait_for(
            "const h = document.querySelector('.omvo-popup h2');"
            "return h && h.textContent === arguments[0] && h.textContent", name), name)

    def check_popup(self, popup, name):
        self.assertIsNotNone(popup)
        shown, link, target = popup
        self.assertEqual(shown, name)
        if name not in self.overlay_names:
            self.assertEqual(link, "http://%s/ru/vplist.php#%s" % (CLUB_HOST, name))
            self.assertEqual(target, "_blank")

class ExamplePage(PageRun, unittest.TestCase):
    """The bundled example club archive with its two overlays."""

    @classmethod
    def make_archive(cls, box):
        box.settings(vplistname=ARCHIVE + "/vplist.txt", gpxpath=ARCHIVE + "/gpx/")
        names = {"Государственная граница (южный участок)", "Паром Балтийск - Балтийская коса"}
        return SOURCE_DIR, EXAMPLE_OVERLAYS, names

    def test_a_click_reaches_every_line_and_names_its_trip_in_the_address(self):
        """On the desktop; the phone gets a click from the list test below."""
        names = [item.get("id", item.get("n")) for item in self.data["items"]]
        history = self.browser.js("return history.length")
        reached = set()
        for k, name in enumerate(names):
            popup = self.browser.reach(k)
            self.check_popup(popup, name)
            reached.add(name)
            expected = "#" + name if name not in self.overlay_names else ""
            self.assertEqual(self.browser.js("return location.hash"), expected)
            # The chosen line on top, the others faded, until the popup closes.
            self.assertEqual(self.browser.js(
                "return getComputedStyle(document.querySelector("
                "'.leaflet-overlay-pane canvas')).opacity"), "0.3")
            self.assertEqual(self.browser.js(
                "return omvoPage.state.selected.item.name"), name)
        self.assertEqual(reached, set(names))
        self.assertEqual(self.browser.js("return history.length"), history)
        self.browser.close_popups()
        self.assertEqual(self.browser.js("return location.hash"), "")
        self.assertEqual(self.browser.js(
            "return getComputedStyle(document.querySelector("
            "'.leaflet-overlay-pane canvas')).opacity"), "1")

    def choose_in_chooser(self, name):
        buttons = self.browser.driver.find_elements("css selector", ".omvo-chooser button")
        chosen = [b for b in buttons if b.text.split(" — ")[0] == name]
        self.assertEqual(len(chosen), 1, [b.text for b in buttons])
        chosen[0].click()

    def shared_point(self):
        """A point where two or more lines lie: [x, y, names], or None."""
        for k in range(len(self.data["items"])):
            point = self.browser.lone_point(k, others=True)
            if point:
                return point
        return None

    def test_a_click_where_lines_meet_lists_them_to_choose_from(self):
        classes = {c["id"]: c["color"] for c in self.data["classes"]}
        for size in SIZES:
            with self.subTest(size=size):
                self.open(size)
                point = self.shared_point()
                self.assertIsNotNone(point)
                x, y, names = point
                self.browser.click_at(x, y)
                self.assertTrue(self.browser.wait_for(
                    "return !!document.querySelector('.omvo-chooser')"))
                listed = self.browser.js("""return Array.from(document.querySelectorAll(
                    '.omvo-chooser button')).map(b => [b.textContent.split(' — ')[0],
                    getComputedStyle(b.querySelector('.omvo-swatch')).backgroundColor]);""")
                self.assertEqual([n for n, _ in listed], names)
                for name, color in listed:
                    item = self.data["items"][self.item_index(name)]
                    if item["k"] >= 0:
                        hex_color = classes[self.data["classes"][item["k"]]["id"]]
                        self.assertEqual(color, "rgb(%d, %d, %d)" % tuple(
                            int(hex_color[i:i + 2], 16) for i in (1, 3, 5)))
                chosen = names[-1]
                self.choose_in_chooser(chosen)
                self.assertShows(chosen)
                self.browser.wait_still()
                self.assertTrue(self.browser.hit(".leaflet-popup-content-wrapper"))
                self.assertEqual(self.browser.js("return [location.hash, "
                                                 "omvoPage.state.selected.item.name]"),
                                 ["" if chosen in self.overlay_names else "#" + chosen, chosen])

    def search(self, text):
        box = self.browser.driver.find_element("css selector", ".omvo-search input")
        box.clear()
        box.send_keys(text)
        results = self.browser.driver.find_elements("css selector", ".omvo-results button")
        count = self.browser.js("return document.querySelector('.omvo-count').textContent")
        return box, [r.text.split(" — ")[0] for r in results], count

    def trips_where(self, test):
        return [item["id"] for item in self.data["items"] if "id" in item and test(item)]

    def test_search_finds_by_id_words_year_and_month_and_counts(self):
        heading = {item["id"]: "".join(item["d"][1::2]).lower()
                   for item in self.data["items"] if "id" in item}
        for size in SIZES:
            with self.subTest(size=size):
                self.open(size)
                self.browser.unfold()
                box, found, count = self.search("VP107")
                self.assertEqual((found, count), (["vp107"], "Найдено: 1"))
                zoom = self.browser.js("return omvoMap.getZoom()")
                box.send_keys("\n")
                self.assertShows("vp107")
                self.assertEqual(self.browser.js("return location.hash"), "#vp107")
                self.assertGreater(self.browser.js("return omvoMap.getZoom()"), zoom)
                cases = {
                    "куршская": lambda i: "куршская" in heading[i["id"]],
                    "велопробег янтарный": lambda i: "велопробег" in heading[i["id"]] and
                                                     "янтарный" in heading[i["id"]],
                    "2011": lambda i: "t" in i and i["t"][0] // 10000 <= 2011 <= i["t"][1] // 10000,
                    "июль": lambda i: "t" in i and 7 in (i["t"][0] // 100 % 100, i["t"][1] // 100 % 100),
                    "июля 2011": lambda i: "t" in i and 7 == i["t"][0] // 100 % 100 and
                                           i["t"][0] // 10000 == 2011,
                }
                for query, test in cases.items():
                    with self.subTest(query=query):
                        self.browser.unfold()
                        _, found, count = self.search(query)
                        expected = self.trips_where(test)
                        self.assertTrue(expected)
                        self.assertEqual(sorted(found), sorted(expected))
                        self.assertEqual(count, "Найдено: %d" % len(expected))
                # The month in another case form finds the same trips.
                self.assertEqual(self.search("Июле")[1], self.search("июль")[1])
                _, found, count = self.search("нет такого слова")
                self.assertEqual((found, count), ([], "Ничего не найдено"))
                _, found, _ = self.search("велопробег янтарный")
                self.browser.driver.find_elements("css selector", ".omvo-results button")[0].click()
                self.assertShows(found[0])
                self.assertEqual(self.browser.js("return location.hash"), "#" + found[0])

    def test_the_address_shows_a_trip_or_says_there_is_none(self):
        for size in SIZES:
            with self.subTest(size=size):
                self.open(size, "#vp110")
                self.assertShows("vp110")
                bounds = self.browser.js(
                    "const b = omvoMap.getBounds(); return [b.getSouth(), b.getWest(),"
                    " b.getNorth(), b.getEast()]")
                for _, _, _, points in (f for f in self.documents[0] if f[0] == "vp110"):
                    for lat, lon in points:
                        self.assertTrue(bounds[0] <= lat <= bounds[2] and
                                        bounds[1] <= lon <= bounds[3])
                # A far trip asked for while the home layer is shown: the switch goes to all trips.
                self.browser.choose_layer(1)
                self.browser.js("location.hash = 'vp107'")
                self.assertShows("vp107")
                self.assertTrue(self.browser.js(
                    "return document.querySelectorAll('.omvo-layers input')[0].checked"))
                # An unknown id closes the popup and says so; names of the script's own objects
                # are ids like any other.
                for unknown in ("zz999", "constructor", "__proto__", "hasOwnProperty"):
                    with self.subTest(address=unknown):
                        self.browser.js("location.hash = arguments[0]", unknown)
                        self.assertTrue(self.browser.wait_for(
                            "return !document.querySelector('.leaflet-popup')"))
                        self.assertEqual(self.browser.js(
                            "return document.querySelector('.omvo-message').textContent"),
                            "Поездки «%s» на карте нет." % unknown)
                        self.assertTrue(self.browser.js(
                            "return !!document.querySelector('.omvo-message').offsetParent"))
                        self.assertEqual(self.browser.drawn(), len(self.documents[0]))
                self.browser.js("location.hash = 'VP101'")  # in any case
                self.assertShows("vp101")
                self.assertEqual(self.browser.js(
                    "return document.querySelector('.omvo-message').textContent"), "")
        for fragment in ("#constructor", "#__proto__"):
            with self.subTest(at_load=fragment):
                self.open("desktop", fragment)
                self.assertEqual(self.browser.errors(), [])
                self.assertIn("на карте нет", self.browser.js(
                    "return document.querySelector('.omvo-message').textContent"))

    def test_the_keyboard_reaches_the_popup_and_escape_closes_it(self):
        from selenium.webdriver.common.action_chains import ActionChains
        from selenium.webdriver.common.keys import Keys
        driver = self.browser.driver
        active = lambda: self.browser.js(
            "const e = document.activeElement; return e.className + '|' + e.tagName + '|' +"
            " (e.closest('.leaflet-popup') ? 'popup' : '')")
        for size in SIZES:
            with self.subTest(size=size):
                self.open(size)
                self.browser.unfold()
                box = driver.find_element("css selector", ".omvo-search input")
                box.send_keys("жемайтия", Keys.ARROW_DOWN)
                self.assertEqual(active(), "|BUTTON|")
                driver.switch_to.active_element.send_keys(Keys.ENTER)
                self.assertShows("vp107")
                # The popup's link and close button come next.
                self.assertEqual(active(), "omvo-popup|DIV|popup")
                driver.switch_to.active_element.send_keys(Keys.TAB)
                self.assertEqual(active(), "|A|popup")
                driver.switch_to.active_element.send_keys(Keys.TAB)
                self.assertEqual(active(), "leaflet-popup-close-button|A|popup")
                driver.switch_to.active_element.send_keys(Keys.ESCAPE)
                self.assertTrue(self.browser.wait_for(
                    "return !document.querySelector('.leaflet-popup')"))
                # Back on the result, or on a phone on the folded panel's bar.
                self.assertEqual(active(), "omvo-fold|BUTTON|" if size == "phone" else "|BUTTON|")
                # Enter in the search box, then Escape wherever the focus is.
                self.browser.unfold()
                box = driver.find_element("css selector", ".omvo-search input")
                box.send_keys(Keys.ENTER)
                self.assertShows("vp107")
                # On a phone the panel folded: its bar is what there is to click.
                outside = box if size == "desktop" else driver.find_element(
                    "css selector", ".omvo-fold")
                outside.click()
                ActionChains(driver).send_keys(Keys.ESCAPE).perform()
                self.assertTrue(self.browser.wait_for(
                    "return !document.querySelector('.leaflet-popup')"))

    def test_every_focus_is_visible(self):
        from selenium.webdriver.common.action_chains import ActionChains
        from selenium.webdriver.common.keys import Keys
        for size in SIZES:
            with self.subTest(size=size):
                self.open(size, "#vp107")
                self.assertShows("vp107")
                self.browser.unfold()
                self.browser.js("document.activeElement.blur()")
                seen = []
                for _ in range(40):
                    ActionChains(self.browser.driver).send_keys(Keys.TAB).perform()
                    focus = self.browser.js("""
                        const e = document.activeElement, s = getComputedStyle(e);
                        return [Array.from(document.querySelectorAll('*')).indexOf(e),
                                e.tagName + ' ' + e.className + ' ' + e.textContent.slice(0, 20),
                                s.outlineStyle, parseFloat(s.outlineWidth)];""")
                    if focus[1].startswith("BODY"):
                        continue  # between the last element and the first
                    if focus[0] in [f[0] for f in seen]:
                        break
                    seen.append(focus)
                    self.assertNotEqual(focus[2], "none", focus[1])
                    self.assertGreaterEqual(focus[3], 2, focus[1])
                # The map, its zoom buttons and attribution, the popup's link and close button,
                # the search box, the switch of maps, and a check box a legend row.
                self.assertEqual(len(seen), 7 + 2 + len(self.data["classes"]) +
                                 len(self.overlay_names) + (size == "phone"),
                                 [f[1] for f in seen])

    def test_on_a_phone_nothing_covers_the_answer_or_the_controls(self):
        driver = self.browser.driver
        self.open("phone")
        # Folded, the panel leaves the map whole; open, it lies below it.
        self.assertTrue(self.browser.hit(".leaflet-control-zoom-in"))
        self.assertTrue(self.browser.hit(".leaflet-control-zoom-out"))
        driver.find_element("css selector", ".omvo-fold").click()
        self.assertTrue(self.browser.hit(".leaflet-control-zoom-in"))
        self.assertTrue(self.browser.hit(".leaflet-control-zoom-out"))
        box = driver.find_element("css selector", ".omvo-search input")
        self.assertGreaterEqual(float(self.browser.js(
            "return getComputedStyle(arguments[0]).fontSize", box).replace("px", "")), 16)
        box.send_keys("велопробег")
        # Targets a finger can hit: 44 by 44 CSS pixels at least.
        small = self.browser.js("""
            const targets = document.querySelectorAll(
              '.omvo-panel button, .omvo-panel input[type=search], .omvo-panel label,' +
              '.leaflet-control-zoom a');
            return Array.from(targets).filter(e => e.offsetParent).map(e => {
              const r = e.getBoundingClientRect();
              return [e.tagName + ' ' + e.textContent.slice(0, 20), r.width, r.height];
            }).filter(t => t[1] < 44 || t[2] < 44);""")
        self.assertEqual(small, [])
        # A result tapped: the panel folds, the popup stands clear of every control.
        driver.find_elements("css selector", ".omvo-results button")[0].click()
        self.browser.popup()
        self.browser.wait_still()
        self.assertIn("omvo-folded", self.browser.js(
            "return document.querySelector('.omvo-panel').className"))
        for selector in (".leaflet-popup-content-wrapper", ".leaflet-popup-close-button",
                         ".leaflet-control-zoom-in", ".leaflet-control-zoom-out",
                         ".leaflet-control-attribution"):
            self.assertTrue(self.browser.hit(selector), selector)
        close = self.browser.js("const r = document.querySelector("
                                "'.leaflet-popup-close-button').getBoundingClientRect();"
                                "return [r.width, r.height];")
        self.assertGreaterEqual(min(close), 44)
        inside = self.browser.js("""
            const m = document.querySelector('.omvo-map').getBoundingClientRect();
            const p = document.querySelector('.leaflet-popup').getBoundingClientRect();
            return p.left >= m.left && p.right <= m.right && p.top >= m.top &&
                   p.bottom <= m.bottom;""")
        self.assertTrue(inside)

    def test_print_shows_the_map_and_its_legend_without_controls(self):
        for size in SIZES:
            with self.subTest(size=size):
                self.open(size, "#vp107")
                self.assertShows("vp107")
                self.browser.cdp("Emulation.setEmulatedMedia", {"media": "print"})
                try:
                    shown = self.browser.js("""
                        const visible = s => Array.from(document.querySelectorAll(s))
                          .some(e => e.offsetParent && getComputedStyle(e).visibility !== 'hidden');
                        return ['.leaflet-control-zoom', '.omvo-search', '.omvo-layers',
                                '.omvo-fold', '.omvo-legend input', '.leaflet-popup-close-button']
                          .filter(visible);""")
                    self.assertEqual(shown, [])
                    layout = self.browser.js("""
                        const map = document.querySelector('.omvo-map').getBoundingClientRect();
                        const legend = document.querySelector('.omvo-legend');
                        const l = legend.getBoundingClientRect();
                        return [map.width, document.documentElement.clientWidth, map.height,
                                l.top >= map.bottom, l.height > 0,
                                legend.querySelectorAll('tbody tr').length];""")
                    self.assertEqual(layout[0], layout[1])
                    self.assertGreater(layout[2], 300)
                    self.assertTrue(layout[3] and layout[4])
                    self.assertEqual(layout[5], 6 + 1 + len(self.overlay_names))
                finally:
                    self.browser.cdp("Emulation.setEmulatedMedia", {"media": ""})

    def test_without_scripts_the_page_says_what_it_needs_and_links_the_documents(self):
        self.browser.cdp("Emulation.setScriptExecutionDisabled", {"value": True})
        try:
            self.browser.driver.get("file://" + self.page)
            text = self.browser.driver.find_element("css selector", ".omvo-noscript").text
            links = [a.get_attribute("href") for a in self.browser.driver.find_elements(
                "css selector", ".omvo-noscript a")]
        finally:
            self.browser.cdp("Emulation.setScriptExecutionDisabled", {"value": False})
        self.assertIn("JavaScript", text)
        self.assertIn("Поездок на карте: 11.", text)
        folder = "file://" + os.path.dirname(self.page) + "/"
        self.assertEqual(links, [folder + name for name in DOCUMENTS])
        self.open("desktop")

    def test_the_readme_picture_shows_every_trip_in_its_class_colour(self):
        """The README's picture (docs/example-page.png), from this run: in the build folder."""
        # Each line, where no other lies, is drawn in its class's colour and opacity.
        for k, item in enumerate(self.data["items"]):
            point = self.browser.lone_point(k)
            if point is None:
                continue
            style = self.data["classes"][item["k"]] if item["k"] >= 0 else None
            pixel = self.browser.js("""
                const canvas = document.querySelector('.leaflet-overlay-pane canvas');
                const r = canvas.getBoundingClientRect();
                const scale = canvas.width / r.width;
                return Array.from(canvas.getContext('2d').getImageData(
                  Math.round((arguments[0] - r.left) * scale),
                  Math.round((arguments[1] - r.top) * scale), 1, 1).data);""",
                point[0], point[1])
            if style:
                color = [int(style["color"][i:i + 2], 16) for i in (1, 3, 5)]
                for channel, expected in zip(pixel[:3], color):
                    self.assertLessEqual(abs(channel - expected), 2, (item, pixel))
                self.assertLessEqual(abs(pixel[3] - style["alpha"]), 2, (item, pixel))
            else:
                self.assertGreater(pixel[3], 0)
        # The whole legend in view beside the map.
        self.assertTrue(self.browser.js("""
            const r = document.querySelector('.omvo-legend').getBoundingClientRect();
            return r.bottom <= innerHeight && r.left >= document.querySelector(
              '.omvo-map').getBoundingClientRect().right;"""))
        png = self.browser.driver.get_screenshot_as_png()
        self.assertEqual(png[:8], b"\x89PNG\r\n\x1a\n")
        self.assertEqual(struct.unpack(">II", png[16:24]), (1366, 768))
        build = os.environ.get("OMVO_BUILD_DIR")
        if build:
            with open(os.path.join(build, "example-page.png"), "wb") as f:
                f.write(png)


def gpx(points):
    return ("<gpx><trk><trkseg>" + "".join(
        '<trkpt lat="%.5f" lon="%.5f"></trkpt>' % p for p in points) +
        "</trkseg></trk></gpx>").encode()


class HostilePage(PageRun, unittest.TestCase):
    """Trip records and overlays that try to run script in the page, to restyle, cover or
    break it, or to make the reader's browser call another host."""

    # The page's Content-Security-Policy reports the event handlers, style elements and base
    # elements of the descriptions as blocked while the sanitizer parses them (before it
    # removes them): a second wall. The other pages hold that the page itself needs no inline style.
    allowed_failures = ("Executing inline event handler violates",
                        "Applying inline style violates",
                        "Setting the document's base URI")
    # The remote image and its kind, were any left, would load from this host.
    TRACKER = "tracker.example.net"
    HOSTILE = [
        ("hs001", "Велопробег: </script><script>window.omvoRan=1</script>",
         "<script>window.omvoRan=2</script>summary"),
        ("hs002", "Велопробег: img", '<img src=x onerror="window.omvoRan=3">'),
        ("hs003", "Велопробег: link", '<a href="javascript:window.omvoRan=4">go</a>'),
        ("hs004", "Бревет: comment", "<!--<script>window.omvoRan=5</script>-->"),
        ("hs005", "Велопоход: \u2028sep\u2029", '<svg onload="window.omvoRan=6"></svg>'
                                                 '<iframe src="javascript:parent.omvoRan=7">'),
        ("hs006", "Велопробег: style", "<style>*{filter:invert(1)!important;"
                                       "font-size:40px!important}</style>inverted"),
        ("hs007", "Велопробег: cover", '<div style="position:fixed;inset:0;background:red;'
                                       'z-index:99999"><a href="https://%s/login">Войдите, '
                                       'чтобы увидеть карту</a></div>' % TRACKER),
        ("hs008", "Велопробег: tracker", '<img src="https://%s/pixel.gif">' % TRACKER),
        ("hs009", "Велопробег: form", '<form action="https://%s/"><input name=p '
                                      'autofocus onfocus="window.omvoRan=10"><button>ok'
                                      '</button></form>' % TRACKER),
        ("hs010", "Велопробег: base", '<base href="https://%s/"><meta http-equiv=refresh '
                                      'content="0;url=https://%s/"><link rel=stylesheet '
                                      'href="https://%s/a.css">' % ((TRACKER,) * 3)),
        ("hs011", "Велопробег: " + "Длинное" * 1430, "<math><mi>x</mi></math>"
                                                      '<object data="https://%s/o"></object>'
                                                      '<embed src="https://%s/e">'
                                                      % (TRACKER, TRACKER)),
        ("hs012", "Велопробег: names", '<a href="https://%s/" id="omvo-data" class='
                                       '"omvo-panel leaflet-control-container">x</a>'
                                       '<a href="mailto:a@b.c">mail</a><a href="data:text/html,'
                                       'x">data</a>' % TRACKER),
    ]
    OVERLAY_NAME = "</script><script>window.omvoRan=8</script>"
    OVERLAY_DESCR = ('<img src=x onerror=window.omvoRan=9><style>body{display:none}</style>'
                     '<div style="position:fixed;top:0;left:0;width:100vw;height:100vh">X</div>')
    # What any page element shows: none of it may change while a popup is open.
    WATCHED = ("html", "body", ".omvo-page", ".omvo-map", ".omvo-panel", ".omvo-legend",
               ".omvo-search input", ".leaflet-control-zoom", ".leaflet-control-attribution")
    PROPERTIES = ("display", "position", "visibility", "opacity", "filter", "color",
                  "background-color", "font-size", "transform", "z-index")

    @classmethod
    def make_archive(cls, box):
        box.settings()
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
                                        "descr=" + cls.OVERLAY_DESCR + "\r\n") +
                  b"style=sn_brevet\xff\xfe\r\nfile=" + box.path("line.kml").encode() + b"\r\n")
        box.write("line.kml", b"<coordinates>20.1,54.5,0\xc3 20.2,54.6,0\xff "
                              b"20.3,54.65,0\xed\xa0\x80</coordinates>")
        return box.dir, [box.path("overlay.txt")], {cls.OVERLAY_NAME}

    # The computed styles and places of the watched elements, in one call.
    SNAPSHOT = """
        const snapshot = (selectors, properties) => selectors.map(selector => {
          const e = document.querySelector(selector);
          if (!e) return [selector, null];
          const s = getComputedStyle(e), r = e.getBoundingClientRect();
          return [selector, properties.map(p => s.getPropertyValue(p)),
                  [r.left, r.top, r.width, r.height]];
        });"""
    # What the open popup shows and does to the page.
    INSPECT = SNAPSHOT + """
        const hit = selector => {
          const e = document.querySelector(selector), r = e.getBoundingClientRect();
          const at = document.elementFromPoint(r.left + r.width / 2, r.top + r.height / 2);
          return !!at && (at === e || e.contains(at));
        };
        const content = document.querySelector('.leaflet-popup-content');
        const box = content.getBoundingClientRect();
        const h = document.querySelector('.omvo-popup h2');
        return {
          html: document.querySelector('.omvo-description').innerHTML,
          links: Array.from(document.querySelectorAll('.omvo-description a[href]'))
            .map(a => [a.getAttribute('href'), a.target, a.rel]),
          snapshot: snapshot(arguments[0], arguments[1]),
          hits: [hit('.leaflet-control-zoom-in'), hit(arguments[2])],
          outside: Array.from(content.querySelectorAll('*'))
            .map(e => e.getBoundingClientRect())
            .filter(r => r.width && r.height && (r.left < box.left - 1 ||
                    r.right > box.right + 1 || r.top < box.top - 1)).length,
          wide: [h.scrollWidth - h.clientWidth,
                 document.querySelector('.leaflet-popup').getBoundingClientRect().width <=
                 innerWidth]
        };"""

    def snapshot(self):
        return self.browser.js(self.SNAPSHOT + "return snapshot(arguments[0], arguments[1]);",
                               list(self.WATCHED), list(self.PROPERTIES))

    def test_descriptions_run_nothing_and_reach_nothing_outside_their_popup(self):
        for size in SIZES:
            with self.subTest(size=size):
                self.open(size)
                before = self.snapshot()
                names = [trip_id for trip_id, _, _ in self.HOSTILE] + [self.OVERLAY_NAME]
                for name in names:
                    with self.subTest(trip=name[:20]):
                        if name == self.OVERLAY_NAME:
                            self.assertIsNotNone(self.browser.reach(self.item_index(name)))
                        else:
                            self.browser.js("location.hash = arguments[0]", name)
                        self.assertShows(name)
                        self.browser.wait_still()
                        seen = self.browser.js(self.INSPECT, list(self.WATCHED),
                                               list(self.PROPERTIES),
                                               ".omvo-fold" if size == "phone" else ".omvo-legend")
                        self.assertNotRegex(seen["html"].lower(),
                                            r"<(script|iframe|img|style|svg|math|form|input|"
                                            r"button|base|meta|link|object|embed)\b|"
                                            r"\b(on\w+|style|id|class|src|action)=|"
                                            r"javascript:|data:")
                        for href, target, rel in seen["links"]:
                            self.assertRegex(href, r"^(https?|mailto):")
                            self.assertEqual((target, rel), ("_blank", "noopener noreferrer"))
                        # Nothing of the page changed or hides under the popup; what the popup
                        # holds stays in its box; a heading of 10 000 characters wraps.
                        self.assertEqual(seen["snapshot"], before)
                        self.assertEqual(seen["hits"], [True, True])
                        self.assertEqual(seen["outside"], 0)
                        self.assertEqual(seen["wide"], [0, True])
                self.assertIsNone(self.browser.js("return window.omvoRan"))
                self.assertFalse([address for address in self.browser.requests()
                                  if not address.startswith(("file://", "data:",
                                                             "https://" + ob.TILE_HOST + "/"))])
        # The long heading wraps in the panel's results too.
        self.browser.unfold()
        box = self.browser.driver.find_element("css selector", ".omvo-search input")
        box.send_keys("длинное")
        self.assertEqual(self.browser.js("""
            const b = document.querySelector('.omvo-results button');
            return [b.textContent.startsWith('hs011'), b.scrollWidth <= b.clientWidth,
                    document.querySelector('.omvo-panel').scrollWidth <=
                    document.querySelector('.omvo-panel').clientWidth];"""), [True, True, True])


def load_bench_generator():
    """The club archive generator of bench/run_bench."""
    path = os.path.join(SOURCE_DIR, "bench", "run_bench")
    loader = importlib.machinery.SourceFileLoader("run_bench", path)
    spec = importlib.util.spec_from_loader("run_bench", loader)
    module = importlib.util.module_from_spec(spec)
    loader.exec_module(module)
    return module


class GeneratedPage(PageRun, unittest.TestCase):
    """A generated archive of 240 short trips of every kind, a fifth of them far."""

    @classmethod
    def make_archive(cls, box):
        folder = box.path("club")
        os.makedirs(folder)
        load_bench_generator().archive(folder, dict(trips=240, points=120, far=0.2,
                                                    seed=20120501))
        box.settings(vplistname=folder + "/vplist.txt", gpxpath=folder + "/gpx/")
        return box.dir, [], set()

    def test_search_lists_every_match_a_hundred_at_a_time(self):
        words = re.compile(r"велопробег")
        expected = [item["id"] for item in self.data["items"]
                    if words.search("".join(item["d"][1::2]).lower())]
        self.assertGreater(len(expected), 100)
        box = self.browser.driver.find_element("css selector", ".omvo-search input")
        box.send_keys("велопробег")
        count = lambda: self.browser.js("return document.querySelector('.omvo-count')"
                                        ".textContent")
        rows = lambda: self.browser.js("return Array.from(document.querySelectorAll("
                                       "'.omvo-results button')).map(b => b.textContent"
                                       ".split(' — ')[0])")
        self.assertEqual(count(), "Показаны 100 из %d" % len(expected))
        self.assertEqual(rows(), expected[:100])
        self.browser.driver.find_element("css selector", ".omvo-more").click()
        self.assertEqual(count(), "Найдено: %d" % len(expected))
        self.assertEqual(rows(), expected)
        self.assertFalse(self.browser.driver.find_element("css selector", ".omvo-more")
                         .is_displayed())
        self.assertEqual(self.browser.js("return getComputedStyle(document.querySelector("
                                         "'.omvo-results')).overflowY"), "auto")


if __name__ == "__main__":
    unittest.main()
