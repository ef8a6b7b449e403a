"""The web page of a run with webpage=1, opened from file:// in headless Chromium with the
network blocked, at a desktop's and a phone's size: each layer draws exactly the placemarks of
its document and lists exactly its trips, the legend counts them and hides exactly a class or
an overlay, a click reaches every line (a list offers the lines under a shared point), the
trip list sorts, filters by the search and the years and chooses a trip, the card shows the
figures the tool wrote and the elevation profile, the density view draws every trip of the
filter, the search and the addresses find trips, the keyboard, the phone, paper and a reader
without scripts are served, and hostile trip texts neither run nor reach outside their card
nor call the network.

The page is the same bytes in every build (test_example_archive holds its hash), so only the
Release build runs these: the sanitizer builds would try the same page again."""

import importlib.machinery
import importlib.util
import math
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


def plural(n, forms):
    """The Russian form of a noun for the number: forms for 1, 2-4 and 5-20."""
    if 11 <= n % 100 <= 14:
        return forms[2]
    return forms[0] if n % 10 == 1 else forms[1] if 2 <= n % 10 <= 4 else forms[2]


def number(n):
    """Thousands apart by a narrow no-break space, as the page writes them."""
    return "{:,}".format(n).replace(",", "\u202f")


def whole(value):
    """Rounded half up, as JavaScript's Math.round."""
    return int(math.floor(value + 0.5))


def km_text(km):
    return number(whole(km)) + "\u00a0км"


def count_text(trips):
    """What the list says of its trips: "312 поездок, 18 450 км" (the recorded lengths)."""
    km = sum(trip["f"][0] / 10 for trip in trips)
    return "%s %s, %s" % (number(len(trips)), plural(len(trips), ("поездка", "поездки", "поездок")),
                          km_text(km))


def year_of(item):
    return item["t"][0] // 10000 if "t" in item else None


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

    def trip(self, trip_id):
        return next(item for item in self.data["items"] if item.get("id") == trip_id)

    def expected_legend(self, features, years=lambda year: True):
        """{class id: (trips, km)} and {overlay name: (None, km)} of a document's placemarks:
        the trips of the years and their recorded lengths, the overlays' drawn lengths."""
        trips, km = {}, {}
        for name, _, style, points in features:
            if name in self.overlay_names:
                km[name] = km.get(name, 0.0) + ob.length_km(points)
            elif years(year_of(self.trip(trip_of(name)))):
                trips.setdefault(style_group(style), set()).add(trip_of(name))
        for group, ids in trips.items():
            km[group] = sum(self.trip(trip_id)["f"][0] / 10 for trip_id in ids)
        return {key: (len(trips[key]) if key in trips else None, km[key]) for key in km}

    def assertLegend(self, expected):
        legend = self.browser.legend()
        for key, (trips, km) in legend.items():
            nothing = (None if key in self.overlay_names else 0, 0.0)
            self.assertEqual(trips, expected.get(key, nothing)[0], key)
            self.assertLessEqual(abs(km - expected.get(key, nothing)[1]), 0.5 + 1e-6, key)
        self.assertEqual(set(legend), set(ob.STYLES) | self.overlay_names)

    def listed(self):
        """The ids of the list's rows, in its order (all of them), and the ids of the rows in
        the document (those in view), top to bottom."""
        return self.browser.js("""
            const rows = Array.from(document.querySelectorAll('.omvo-row'))
              .sort((a, b) => parseFloat(a.style.top) - parseFloat(b.style.top));
            return [omvoPage.listed(), rows.map(r => r.querySelector('.omvo-col-name').title
                                                      .split(' — ')[0])];""")

    def assertListed(self, expected):
        """The list holds the trip ids in this order, its rows in the document show them, and
        its count says how many and how long."""
        ids, rows = self.listed()
        self.assertEqual(ids, expected)
        if ids:  # the rows in the document: a run of the list's, in its order
            self.assertIn(rows[0] if rows else None, ids)
            start = ids.index(rows[0])
            self.assertEqual(rows, ids[start:start + len(rows)])
        self.assertEqual(self.browser.js(
            "return document.querySelector('.omvo-count').textContent"),
            count_text([self.trip(trip_id) for trip_id in expected]))

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
                for group in ob.STYLES + ("other",):
                    self.assertEqual(self.browser.drawn(group), sum(
                        ("other" if f[0] in self.overlay_names else style_group(f[2])) == group
                        for f in features), group)
                self.assertLegend(self.expected_legend(features))
                # The list: every trip of the document once, the latest first.
                trips = [self.trip(trip_id) for trip_id in dict.fromkeys(
                    trip_of(f[0]) for f in features if f[0] not in self.overlay_names)]
                self.assertListed([t["id"] for t in sorted(
                    trips, key=lambda t: -t["t"][0] if "t" in t else math.inf)])

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
        """Types the text into the search box; returns the box, the ids the list holds and
        its count."""
        box = self.browser.driver.find_element("css selector", ".omvo-search input")
        box.clear()
        box.send_keys(text)
        count = self.browser.js("return document.querySelector('.omvo-count').textContent")
        return box, self.listed()[0], count

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
                self.assertEqual((found, count), (["vp107"], count_text([self.trip("vp107")])))
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
                        self.assertEqual(count, count_text([self.trip(i) for i in expected]))
                # The month in another case form finds the same trips.
                self.assertEqual(self.search("Июле")[1], self.search("июль")[1])
                _, found, count = self.search("нет такого слова")
                self.assertEqual((found, count), ([], "Ничего не найдено"))
                _, found, _ = self.search("велопробег янтарный")
                self.browser.driver.find_elements("css selector", ".omvo-row")[0].click()
                self.assertShows(found[0])
                self.assertEqual(self.browser.js("return location.hash"), "#" + found[0])

    # The list's columns in the page's order, with the direction each starts in.
    COLUMNS = (("date", True), ("class", False), ("name", False), ("km", True))

    def sorted_ids(self, column, descending):
        """The trip ids in the list's order by the column: trips without a value last, trips
        of one value in the data's order; names compared as the browser compares Russian."""
        trips = [item for item in self.data["items"] if "id" in item]
        if column == "name":
            names = [re.sub(r"^[^\s:]+:\s+(?=\S)", "", t.get("h", "".join(t["d"][1::2])))
                     or t["id"] for t in trips]
            rank = self.browser.js("""
                const names = arguments[0];
                const order = names.map((n, k) => k).sort((a, b) =>
                  names[a].localeCompare(names[b], 'ru', {numeric: true}) || a - b);
                const rank = []; order.forEach((k, r) => { rank[k] = r; }); return rank;""",
                names)
            value = lambda k, t: rank[k]
        else:
            value = lambda k, t: {"date": t["t"][0] if "t" in t else None, "class": t["k"],
                                  "km": t["f"][0]}[column]
        keyed = [(value(k, t), k, t["id"]) for k, t in enumerate(trips)]
        known = sorted((v * (-1 if descending else 1), k, i) for v, k, i in keyed if v is not None)
        return [i for _, _, i in known] + [i for v, _, i in keyed if v is None]

    def row(self, trip_id):
        """The list's row of the trip, in the document."""
        return next(row for row in self.browser.driver.find_elements("css selector", ".omvo-row")
                    if row.find_element("css selector", ".omvo-col-name").get_attribute(
                        "title").split(" — ")[0] == trip_id)

    def sort_state(self):
        return self.browser.js("""return Array.from(document.querySelectorAll(
            '.omvo-list-columns [role=columnheader]')).map(c => c.getAttribute('aria-sort'));""")

    def test_the_list_sorts_by_each_column_both_ways_and_a_row_chooses_its_trip(self):
        for size in SIZES:
            with self.subTest(size=size):
                self.open(size)
                self.browser.unfold()
                # At first the latest trips first.
                self.assertListed(self.sorted_ids("date", True))
                self.assertEqual(self.sort_state(), ["descending", None, None, None])
                for k, (column, starts_descending) in enumerate(self.COLUMNS):
                    heads = self.browser.driver.find_elements("css selector", ".omvo-sort")
                    first = not starts_descending if column == "date" else starts_descending
                    for descending in (first, not first):
                        with self.subTest(column=column, descending=descending):
                            heads[k].click()
                            self.assertListed(self.sorted_ids(column, descending))
                            expected = [None] * 4
                            expected[k] = "descending" if descending else "ascending"
                            self.assertEqual(self.sort_state(), expected)
                # A row chooses its trip as a click on its line does.
                trip_id = self.listed()[0][2]
                row = self.row(trip_id)
                if size == "phone":
                    self.assertGreaterEqual(row.rect["height"], 44)
                row.click()
                self.assertShows(trip_id)
                self.assertEqual(self.browser.js(
                    "return [location.hash, omvoPage.state.selected.item.name, document"
                    ".querySelector('.omvo-row[aria-selected=true] .omvo-col-name').title"
                    ".split(' — ')[0], getComputedStyle(document.querySelector("
                    "'.leaflet-overlay-pane canvas')).opacity]"),
                    ["#" + trip_id, trip_id, trip_id, "0.3"])
                if size == "phone":
                    self.assertIn("omvo-folded", self.browser.js(
                        "return document.querySelector('.omvo-panel').className"))

    def choose_years(self, first, last, undated=None):
        from selenium.webdriver.support.ui import Select
        self.browser.unfold()
        Select(self.browser.driver.find_element("id", "omvo-year-from")).select_by_value(
            str(first))
        Select(self.browser.driver.find_element("id", "omvo-year-to")).select_by_value(str(last))
        if undated is not None:
            box = self.browser.driver.find_element("id", "omvo-undated")
            if box.is_selected() != undated:
                box.click()

    def drawn_trips(self):
        return self.browser.js("return omvoPage.drawnItems().filter(i => i.isTrip)"
                               ".map(i => i.name)")

    def test_the_year_filter_narrows_the_map_the_list_and_the_legend_together(self):
        features = self.documents[0]
        trips = [item for item in self.data["items"] if "id" in item]
        of_year = lambda year: [t["id"] for t in trips if year_of(t) == year]
        for size in SIZES:
            with self.subTest(size=size):
                self.open(size)
                years = self.browser.js("return Array.from(document.querySelectorAll("
                                        "'#omvo-year-from option')).map(o => o.textContent)")
                self.assertEqual(years, ["%d (%d)" % (y, len(of_year(y))) for y in
                                         sorted({year_of(t) for t in trips})])
                self.choose_years(2011, 2011)
                self.assertEqual(self.drawn_trips(), of_year(2011))
                self.assertEqual(self.browser.drawn("other"), len(self.overlay_names))
                self.assertListed([i for i in self.sorted_ids("date", True) if i in of_year(2011)])
                self.assertLegend(self.expected_legend(features, lambda year: year == 2011))
                # A trip of another year asked for: the range takes its year in.
                self.browser.js("location.hash = 'vp111'")
                self.assertShows("vp111")
                self.assertEqual(self.browser.js(
                    "return [document.querySelector('#omvo-year-from').value,"
                    " document.querySelector('#omvo-year-to').value]"), ["2011", "2012"])
                self.assertEqual(sorted(self.drawn_trips()), sorted(of_year(2011) + of_year(2012)))
                self.choose_years(2012, 2010)  # crossed: the other end follows
                self.assertEqual(self.drawn_trips(), of_year(2010))

    def test_the_card_shows_the_figures_the_tool_wrote_and_the_profile(self):
        def duration(seconds):
            minutes = whole(seconds / 60)
            hours, minutes = divmod(minutes, 60)
            return ("%d\u00a0ч %02d\u00a0мин" % (hours, minutes) if hours
                    else "%d\u00a0мин" % minutes)
        placemarks = {}
        for name, _, _, points in self.documents[0]:
            placemarks.setdefault(trip_of(name), []).append(points)
        for size in SIZES:
            self.open(size)
            for trip in (item for item in self.data["items"] if "id" in item):
                if size == "phone" and trip["id"] not in ("vp106", "vp110"):
                    continue
                with self.subTest(size=size, trip=trip["id"]):
                    self.browser.js("omvoPage.showTrip(arguments[0])", trip["id"])
                    self.assertShows(trip["id"])
                    card = self.browser.js("""
                        const box = document.querySelector('.omvo-popup');
                        const svg = box.querySelector('.omvo-profile');
                        const content = box.closest('.leaflet-popup-content')
                          .getBoundingClientRect();
                        const r = svg && svg.getBoundingClientRect();
                        return {
                          figures: Array.from(box.querySelectorAll('.omvo-figures dt')).map(
                            dt => [dt.textContent, dt.nextElementSibling.textContent]),
                          lines: svg && Array.from(svg.querySelectorAll('.omvo-profile-line'))
                            .map(p => p.getAttribute('d').split(/[ML]/).length - 1),
                          gaps: svg && svg.querySelectorAll('.omvo-profile-gap').length,
                          labels: svg && Array.from(svg.querySelectorAll('text'))
                            .map(t => t.textContent),
                          inside: !svg || (r.width > 100 && r.left >= content.left - 1 &&
                                           r.right <= content.right + 1)
                        };""")
                    f = trip["f"]
                    tenths = "%s,%d" % (number(f[0] // 10), f[0] % 10)
                    expected = [("Длина", tenths + "\u00a0км"), ("Дней", str(f[6])),
                                ("Подъём", "%d\u00a0м" % f[1] if f[1] is not None else None),
                                ("Спуск", "%d\u00a0м" % f[2] if f[2] is not None else None),
                                ("В движении", duration(f[3]) if f[3] is not None else None),
                                ("В пути", duration(f[4]) if f[4] is not None else None),
                                ("Участков", str(f[5]))]
                    self.assertEqual(card["figures"], [[n, v] for n, v in expected if v])
                    # What the tool measured agrees with the documents: one segment a
                    # placemark, and the whole track at least as long as its thinned line.
                    self.assertEqual(f[5], len(placemarks[trip["id"]]))
                    drawn = sum(ob.length_km(points) for points in placemarks[trip["id"]])
                    self.assertGreaterEqual(f[0] / 10 + 0.05, drawn * 0.995)
                    if "p" not in trip:
                        self.assertIsNone(card["lines"])
                        continue
                    # One line a stretch of places with elevations, a mark a gap between
                    # segments, the lowest and highest elevation and the length beside it.
                    low, high, places = trip["p"]
                    stretches = [len(run) for run in re.split(r"[|.]", places) if run]
                    self.assertEqual(card["lines"], stretches)
                    self.assertEqual(card["gaps"], places.count("|"))
                    self.assertEqual(card["labels"], ["%d\u00a0м" % high, "%d\u00a0м" % low, "0",
                                                      tenths + "\u00a0км"])
                    self.assertTrue(card["inside"])
        # The example holds a track without elevations and times, and one of two segments.
        self.assertNotIn("p", self.trip("vp110"))
        self.assertIn("|", self.trip("vp106")["p"][2])

    def pixel(self, x, y):
        """[r, g, b, a] of the lines' canvas at the point of the window."""
        return self.browser.js("""
            const canvas = document.querySelector('.leaflet-overlay-pane canvas');
            const r = canvas.getBoundingClientRect(), scale = canvas.width / r.width;
            return Array.from(canvas.getContext('2d').getImageData(
              Math.round((arguments[0] - r.left) * scale),
              Math.round((arguments[1] - r.top) * scale), 1, 1).data);""", x, y)

    def test_where_the_club_rides_most_draws_every_trip_of_the_filter_in_one_colour(self):
        trips = [item["id"] for item in self.data["items"] if "id" in item]
        alone = next((k, point) for k, point in ((k, self.browser.lone_point(k)) for k, item in
                     enumerate(self.data["items"]) if "id" in item) if point)
        self.browser.driver.find_element("id", "omvo-density").click()
        self.assertEqual(self.browser.js("return omvoPage.drawnItems().map(i => i.name)"), trips)
        # The legend says how dark one trip, some and many draw a road; where one trip lies
        # alone, its line is drawn as the legend's first step.
        steps = self.browser.js("""
            return Array.from(document.querySelectorAll('.omvo-density-legend li')).map(li => {
              const s = getComputedStyle(li.querySelector('.omvo-swatch'));
              return [li.textContent, s.backgroundColor, parseFloat(s.opacity)];
            });""")
        self.assertEqual([text for text, _, _ in steps],
                         ["1 поездка", "2 поездки", "4 поездки и больше"])
        self.assertEqual(len({color for _, color, _ in steps}), 1)
        self.assertLess(steps[0][2], steps[1][2])
        self.assertLess(steps[1][2], steps[2][2])
        pixel = self.pixel(*alone[1][:2])
        color = [int(c) for c in re.findall(r"\d+", steps[0][1])]
        for channel, expected in zip(pixel[:3], color):
            self.assertLessEqual(abs(channel - expected), 2, (pixel, color))
        self.assertLessEqual(abs(pixel[3] - 255 * steps[0][2]), 2)
        # The years narrow it too; a click still offers the lines under it.
        self.choose_years(2011, 2011)
        self.assertEqual(self.drawn_trips(), [t for t in trips if year_of(self.trip(t)) == 2011])
        self.assertEqual(self.browser.drawn("other"), 0)
        point = self.shared_point()
        self.browser.click_at(point[0], point[1])
        self.assertTrue(self.browser.wait_for("return !!document.querySelector('.omvo-chooser')"))
        # Off again: every trip in its class's colour, the overlays back.
        self.browser.close_popups()
        self.choose_years(2010, 2012)
        self.browser.driver.find_element("id", "omvo-density").click()
        self.assertEqual(self.browser.drawn(), len(self.documents[0]))
        style = self.data["classes"][self.data["items"][alone[0]]["k"]]
        pixel = self.pixel(*self.browser.lone_point(alone[0])[:2])
        for channel, expected in zip(pixel[:3], (int(style["color"][i:i + 2], 16)
                                                 for i in (1, 3, 5))):
            self.assertLessEqual(abs(channel - expected), 2, (pixel, style))
        # The switch on a phone, in the folding panel.
        self.open("phone")
        self.browser.unfold()
        self.browser.driver.find_element("id", "omvo-density").click()
        self.assertEqual(self.browser.js("return omvoPage.drawnItems().map(i => i.name)"), trips)
        self.assertLessEqual(abs(pixel[3] - style["alpha"]), 2)

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
                self.assertEqual(active(), "omvo-row|DIV|")
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
                # Back on the list's row, or on a phone on the folded panel's bar.
                self.assertEqual(active(), "omvo-fold|BUTTON|" if size == "phone" else
                                 "omvo-row|DIV|")
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
                    # An element is known by a number given on its first focus: the map
                    # adds and removes tiles meanwhile, so a place in the document moves.
                    focus = self.browser.js("""
                        const e = document.activeElement, s = getComputedStyle(e);
                        const ids = window.omvoFocusIds = window.omvoFocusIds || new WeakMap();
                        if (!ids.has(e)) ids.set(e, (window.omvoFocusCount =
                                                     (window.omvoFocusCount || 0) + 1));
                        return [ids.get(e),
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
                # the search box, the two ends of the years, the list's four column heads and
                # its rows, the switch of maps and the density's, a check box a legend row and
                # the year in figures' button.
                self.assertEqual(len(seen), 7 + 2 + 2 + 4 + 1 + 1 + len(self.data["classes"]) +
                                 len(self.overlay_names) + 1 + (size == "phone"),
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
              '.omvo-panel select, .omvo-row, .leaflet-control-zoom a');
            return Array.from(targets).filter(e => e.offsetParent).map(e => {
              const r = e.getBoundingClientRect();
              return [e.tagName + ' ' + e.textContent.slice(0, 20), r.width, r.height];
            }).filter(t => t[1] < 44 || t[2] < 44);""")
        self.assertEqual(small, [])
        # A row tapped: the panel folds, the popup stands clear of every control.
        driver.find_elements("css selector", ".omvo-row")[0].click()
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

    def year_figures(self, layer):
        """The club's year in figures for the layer, as the page's table should give it: rows
        of [year or class name, trips, km]."""
        trips = [item for item in self.data["items"] if "id" in item and item["m"] & (1 << layer)]
        years = sorted({year_of(t) for t in trips}, key=lambda y: -y if y is not None else math.inf)
        rows = []
        for year in years:
            of_year = [t for t in trips if year_of(t) == year]
            rows.append(["без даты" if year is None else str(year), number(len(of_year)),
                         km_text(sum(t["f"][0] / 10 for t in of_year))])
            for k, style in enumerate(self.data["classes"]):
                of_class = [t for t in of_year if t["k"] == k]
                if of_class:
                    rows.append([style["name"], number(len(of_class)),
                                 km_text(sum(t["f"][0] / 10 for t in of_class))])
        rows.append(["Всего", number(len(trips)), km_text(sum(t["f"][0] / 10 for t in trips))])
        return rows

    def test_print_shows_the_map_its_legend_and_the_year_in_figures_without_controls(self):
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
                                '.omvo-fold', '.omvo-legend input', '.leaflet-popup-close-button',
                                '.omvo-years', '.omvo-list', '.omvo-year-toggle']
                          .filter(visible);""")
                    self.assertEqual(shown, [])
                    # The year in figures, folded on the screen, below the legend.
                    table = self.browser.js("""
                        const t = document.querySelector('.omvo-year-figures');
                        return [t.getBoundingClientRect().top >= document.querySelector(
                                  '.omvo-legend').getBoundingClientRect().bottom,
                                Array.from(t.querySelectorAll('tbody tr')).map(r =>
                                  Array.from(r.cells).map(c => c.textContent))];""")
                    self.assertTrue(table[0])
                    self.assertEqual(table[1], self.year_figures(0))
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

    def test_the_readme_picture_shows_every_trip_in_its_class_colour_and_a_chosen_trip(self):
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
        # A trip chosen from the list beside the map, its card with its profile in view.
        self.row("vp109").click()
        self.assertShows("vp109")
        self.browser.wait_still()
        self.assertTrue(self.browser.hit(".omvo-profile"))
        self.assertTrue(self.browser.js("""
            const r = document.querySelector('.omvo-list').getBoundingClientRect();
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
    UNDATED, UNDATED_LINE = "hs004", "Даты похода <b onclick=window.omvoRan=11>летом</b>"
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
            # One dates line that cannot be read, and holds markup.
            dates = cls.UNDATED_LINE if trip_id == cls.UNDATED else "Даты похода 12 июня 2010"
            records.append("\r\n".join([heading, "Код: " + trip_id, dates, summary,
                                        "Что посмотреть: GPS-трек"]))
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
          figures: document.querySelector('.omvo-popup').innerHTML.split(
            '<div class="omvo-description">')[0],
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
                                               ".omvo-fold" if size == "phone" else ".omvo-list")
                        # The card's figures are numbers the page formats, no record's text.
                        self.assertRegex(seen["figures"], r"^<h2>[^<]*</h2>("
                                         r'<dl class="omvo-figures">(<dt class="">[^<]*</dt>'
                                         r'<dd class="omvo-figure-\w+">(?:[\d,.\s\u202fкмчин]|'
                                         r'&nbsp;)*</dd>)+</dl>)?$')
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
        # The list holds the records' texts as text alone, the long heading cut short in its
        # row, and the panel as wide as it was.
        self.browser.unfold()
        rows = self.browser.js("""
            return Array.from(document.querySelectorAll('.omvo-row')).map(r => {
              const name = r.querySelector('.omvo-col-name');
              return [name.title, name.textContent, name.childElementCount,
                      r.querySelectorAll('*').length, r.scrollWidth <= r.clientWidth,
                      r.querySelector('.omvo-col-date').textContent];
            });""")
        headings = {trip_id: heading.replace("\u2028", "").replace("\u2029", "")
                    for trip_id, heading, _ in self.HOSTILE}
        self.assertEqual(sorted(rows), sorted(
            [trip_id + " — " + heading, heading.split(": ", 1)[1], 0, 6, True,
             "без даты" if trip_id == self.UNDATED else "12.06.2010"]
            for trip_id, heading in headings.items()))
        self.assertTrue(self.browser.js("""const p = document.querySelector('.omvo-panel');
                                           return p.scrollWidth <= p.clientWidth;"""))

    def test_a_trip_without_dates_is_listed_apart_and_shown_until_unticked(self):
        from selenium.webdriver.support.ui import Select
        dated = [trip_id for trip_id, _, _ in self.HOSTILE if trip_id != self.UNDATED]
        self.browser.unfold()
        # Last in the list by date in either direction, after all the dated ones.
        self.assertEqual(self.browser.js("return omvoPage.listed()"), dated + [self.UNDATED])
        self.browser.driver.find_elements("css selector", ".omvo-sort")[0].click()
        self.assertEqual(self.browser.js("return omvoPage.listed()"), dated + [self.UNDATED])
        self.assertEqual(self.browser.js(
            "return [Array.from(document.querySelectorAll('#omvo-year-from option'))"
            ".map(o => o.textContent), document.querySelector('.omvo-undated').textContent]"),
            [["2010 (11)"], "без даты (1)"])
        # Shown with any range of years, until the filter leaves it out explicitly.
        Select(self.browser.driver.find_element("id", "omvo-year-to")).select_by_value("2010")
        self.assertIn(self.UNDATED, self.browser.js("return omvoPage.listed()"))
        self.browser.driver.find_element("id", "omvo-undated").click()
        self.assertEqual(self.browser.js("return omvoPage.listed()"), dated)
        self.assertNotIn(self.UNDATED, self.browser.js(
            "return omvoPage.drawnItems().map(i => i.name)"))
        self.assertEqual(self.browser.legend()["sn_brevet"][0], 0)


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

    def test_the_list_holds_every_match_and_makes_only_the_rows_in_view(self):
        from selenium.webdriver.common.keys import Keys
        by_date = sorted((item for item in self.data["items"] if "id" in item),
                         key=lambda item: -item["t"][0])
        expected = [item["id"] for item in by_date
                    if "велопробег" in "".join(item["d"][1::2]).lower()]
        self.assertGreater(len(expected), 100)
        box = self.browser.driver.find_element("css selector", ".omvo-search input")
        box.send_keys("велопробег")
        self.assertListed(expected)
        in_document = lambda: self.browser.js(
            "return document.querySelectorAll('.omvo-row').length")
        self.assertLess(in_document(), 40)
        # The keyboard walks it to its end, the rows in view following.
        box.send_keys(Keys.ARROW_DOWN)
        self.browser.driver.switch_to.active_element.send_keys(Keys.END)
        self.assertEqual(self.browser.js(
            "return document.activeElement.querySelector('.omvo-col-name').title"
            ".split(' — ')[0]"), expected[-1])
        self.assertListed(expected)
        self.assertLess(in_document(), 40)
        self.browser.driver.switch_to.active_element.send_keys(Keys.ENTER)
        self.assertShows(expected[-1])


if __name__ == "__main__":
    unittest.main()
