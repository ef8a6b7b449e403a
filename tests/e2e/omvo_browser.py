"""Support for the tests of the web page: Debian's Chromium, headless, driven by Selenium, with
the network blocked (map tiles never load), and the documents read back with GDAL."""

import math
import re
import shutil
import subprocess
import tempfile
import time

CHROMIUM = "/usr/bin/chromium"
CHROMEDRIVER = "/usr/bin/chromedriver"
TILE_HOST = "tile.openstreetmap.org"
STYLES = ("sn_day_trip", "sn_night_trip", "sn_short_voyage", "sn_long_voyage",
          "sn_great_voyage", "sn_brevet")
EARTH_RADIUS_KM = 6371.0088


def missing_tools():
    """What the browser tests need and this machine lacks (tools/setup.sh installs it)."""
    missing = [path for path in (CHROMIUM, CHROMEDRIVER) if not shutil.which(path)]
    try:
        import selenium  # noqa: F401
    except ImportError:
        missing.append("python3-selenium")
    return missing


class Browser:
    """One headless Chromium with a fresh profile; every host name fails to resolve."""

    def __init__(self, width=1200, height=900):
        from selenium import webdriver
        from selenium.webdriver.chrome.service import Service
        self.profile = tempfile.mkdtemp(prefix="omvo-chromium-")
        options = webdriver.ChromeOptions()
        options.binary_location = CHROMIUM
        for argument in ("--headless=new", "--no-sandbox", "--disable-gpu", "--disable-quic",
                         "--no-first-run", "--disable-background-networking",
                         "--disable-component-update", "--disable-sync",
                         "--disable-dev-shm-usage", "--host-resolver-rules=MAP * ~NOTFOUND",
                         "--user-data-dir=" + self.profile,
                         "--window-size=%d,%d" % (width, height)):
            options.add_argument(argument)
        options.set_capability("goog:loggingPrefs", {"browser": "ALL"})
        self.driver = webdriver.Chrome(service=Service(CHROMEDRIVER), options=options)
        self.driver.set_page_load_timeout(60)

    def close(self):
        try:
            self.driver.quit()
        finally:
            shutil.rmtree(self.profile, ignore_errors=True)

    def open(self, path, fragment=""):
        """Loads the page from file:// and waits until its lines are drawn."""
        self.driver.get("about:blank")
        self.log()  # what an earlier page left
        self.driver.get("file://" + path + fragment)
        self.wait_for("return !!window.omvoMap")

    def js(self, script, *args):
        return self.driver.execute_script(script, *args)

    def wait_for(self, script, *args, timeout=10.0):
        """Waits until the script returns a true value; returns it."""
        deadline = time.monotonic() + timeout
        while True:
            value = self.js(script, *args)
            if value or time.monotonic() > deadline:
                return value
            time.sleep(0.05)

    def log(self):
        return self.driver.get_log("browser")

    def errors(self, allowed=()):
        """The console's errors, but for the tiles the blocked network cannot bring and those
        holding a text given as allowed."""
        found = []
        for entry in self.log():
            if entry["level"] not in ("SEVERE", "ERROR"):
                continue
            message = entry["message"]
            if entry.get("source") == "network" and TILE_HOST in message:
                continue
            if not any(text in message for text in allowed):
                found.append(message)
        return found

    def drawn(self, style=None):
        """The number of lines drawn, of one style or of all."""
        selector = "path.omvo-line" + (".omvo-style-" + style if style else "")
        return self.js("return document.querySelectorAll(arguments[0]).length", selector)

    def choose_layer(self, index):
        self.driver.find_elements("css selector", ".omvo-layers input")[index].click()

    def legend(self):
        """{style: (trips, km)} as the legend shows them."""
        rows = self.js("""return Array.from(document.querySelectorAll('.omvo-legend tbody tr'))
            .map(r => [r.dataset.style, r.querySelector('.omvo-trips').textContent,
                       r.querySelector('.omvo-km').textContent]);""")
        return {style: (int(trips), int(re.sub(r"\D", "", km))) for style, trips, km in rows}

    def click_line(self, path_element):
        """Clicks the drawn line at a point of it that no other line covers; returns the
        popup's name and its first link's address and target, or None when every point tried
        lies under something else."""
        from selenium.webdriver.common.action_chains import ActionChains
        # A closed popup fades out before it goes: until then it takes the clicks. An opened
        # one may have panned the map: the point is found once the map stands still.
        self.js("window.omvoMap.closePopup()")
        self.wait_for("return !document.querySelector('.leaflet-popup')")
        self.wait_still()
        point = self.js("""
            const path = arguments[0];
            const length = path.getTotalLength();
            for (const f of [0.5, 0.3, 0.7, 0.1, 0.9, 0.2, 0.8, 0.4, 0.6, 0.05, 0.95]) {
              const p = path.getPointAtLength(length * f);
              const m = path.getScreenCTM();
              const x = m.a * p.x + m.c * p.y + m.e, y = m.b * p.x + m.d * p.y + m.f;
              if (document.elementFromPoint(x, y) === path) return [x, y];
            }
            return null;""", path_element)
        if point is None:
            return None
        actions = ActionChains(self.driver)
        actions.w3c_actions.pointer_action.move_to_location(int(point[0]), int(point[1]))
        actions.w3c_actions.pointer_action.click()
        start = self.js("return performance.now()")
        actions.perform()
        popup = self.popup()
        # From the click to the popup in the document, WebDriver's round trips included.
        self.click_ms = self.js("return performance.now()") - start
        return popup

    def wait_still(self):
        """Waits until the map's view stays the same for 0.2 s."""
        view = lambda: self.js("return omvoMap.getCenter().toString() + omvoMap.getZoom()")
        last, deadline = view(), time.monotonic() + 10
        while time.monotonic() < deadline:
            time.sleep(0.2)
            now = view()
            if now == last:
                return
            last = now

    def popup(self):
        """(name, link address, link target) of the open popup, or None."""
        return self.wait_for("""
            const box = document.querySelector('.leaflet-popup-content .omvo-popup');
            if (!box) return null;
            const link = box.querySelector('a');
            return [box.querySelector('h2').textContent,
                    link ? link.getAttribute('href') : null,
                    link ? link.getAttribute('target') : null];""")


def read_document(path):
    """The placemarks of a document as GDAL reads them: [(name, description, style id,
    [(lat, lon), ...])]."""
    done = subprocess.run(["ogrinfo", "-ro", "-al", "-q", path], capture_output=True,
                          check=True)
    features = []
    for block in done.stdout.decode("utf-8", "replace").split("OGRFeature(")[1:]:
        name = re.search(r"^  Name \(String\) = (.*)$", block, re.M)
        description = re.search(r"^  description \(String\) = (.*)$", block, re.M)
        style = re.search(r"^  Style = @(.*)$", block, re.M)
        line = re.search(r"^  LINESTRING Z \((.*)\)$", block, re.M)
        points = []
        if line:
            for tuple_text in line.group(1).split(","):
                lon, lat = tuple_text.split()[:2]
                points.append((float(lat), float(lon)))
        features.append((name.group(1) if name else "",
                         description.group(1) if description else "",
                         style.group(1) if style else "", points))
    return features


def length_km(points):
    """The geodesic length of a line of (lat, lon) points on the sphere the page uses."""
    km = 0.0
    for (lat1, lon1), (lat2, lon2) in zip(points, points[1:]):
        p1, p2 = math.radians(lat1), math.radians(lat2)
        dp, dl = p2 - p1, math.radians(lon2 - lon1)
        a = math.sin(dp / 2) ** 2 + math.cos(p1) * math.cos(p2) * math.sin(dl / 2) ** 2
        km += 2 * EARTH_RADIUS_KM * math.atan2(math.sqrt(a), math.sqrt(1 - a))
    return km


def page_data(page_bytes):
    """The data block of the page, parsed."""
    import json
    text = page_bytes.decode("utf-8")
    opening = '<script type="application/json" id="omvo-data">'
    start = text.index(opening) + len(opening)
    return json.loads(text[start:text.index("</script>", start)])
