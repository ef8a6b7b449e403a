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
# The page's coordinates are whole hundred-thousandths of a degree, rounded: a point lies
# within half of one of its place.
UNITS_PER_DEGREE = 1e5


def missing_tools():
    """What the browser tests need and this machine lacks (tools/setup.sh installs it)."""
    missing = [path for path in (CHROMIUM, CHROMEDRIVER) if not shutil.which(path)]
    try:
        import selenium  # noqa: F401
    except ImportError:
        missing.append("python3-selenium")
    return missing


# The two sizes the page is tried at: a desktop window, and a phone (CSS pixels, device pixel
# ratio, touch) as DevTools emulates it.
SIZES = {
    "desktop": dict(width=1366, height=768, deviceScaleFactor=1, mobile=False),
    "phone": dict(width=390, height=844, deviceScaleFactor=3, mobile=True),
}


class Browser:
    """One headless Chromium with a fresh profile; every host name fails to resolve. The console
    and the network requests are logged."""

    def __init__(self, width=1366, height=768):
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
        options.set_capability("goog:loggingPrefs", {"browser": "ALL", "performance": "ALL"})
        self.driver = webdriver.Chrome(service=Service(CHROMEDRIVER), options=options)
        self.driver.set_page_load_timeout(60)
        self.size = None

    def close(self):
        try:
            self.driver.quit()
        finally:
            shutil.rmtree(self.profile, ignore_errors=True)

    def cdp(self, command, parameters=None):
        return self.driver.execute_cdp_cmd(command, parameters or {})

    def emulate(self, size):
        """Makes the page's window the size of SIZES (its next load takes it)."""
        metrics = SIZES[size]
        self.cdp("Emulation.setDeviceMetricsOverride", metrics)
        self.cdp("Emulation.setTouchEmulationEnabled",
                 {"enabled": metrics["mobile"], "maxTouchPoints": 5})
        self.size = size

    def open(self, path, fragment=""):
        """Loads the page from file:// and waits until its lines are drawn."""
        self.driver.get("about:blank")
        self.log()  # what an earlier page left
        self.requests()
        self.driver.get("file://" + path + fragment)
        self.wait_for("return !!window.omvoPage")

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

    def requests(self):
        """The addresses the page asked the network for since the last call."""
        import json
        addresses = []
        for entry in self.driver.get_log("performance"):
            message = json.loads(entry["message"])["message"]
            if message["method"] == "Network.requestWillBeSent":
                addresses.append(message["params"]["request"]["url"])
        return addresses

    def drawn(self, group=None):
        """The number of lines (placemarks) drawn, of a class id or of the overlays ("other"),
        or of all."""
        return self.js("""
            const classes = omvoPage.model.classes;
            return omvoPage.drawnItems().filter(item => !arguments[0] || arguments[0] ===
                (item.isTrip ? classes[item.classIndex].id : 'other'))
              .reduce((sum, item) => sum + item.segmentCount, 0);""", group)

    def unfold(self):
        """Opens the panel where a phone's layout folds it."""
        if self.js("const fold = document.querySelector('.omvo-fold');"
                   "return !!fold.offsetParent && fold.getAttribute('aria-expanded') !== 'true'"):
            self.driver.find_element("css selector", ".omvo-fold").click()

    def choose_layer(self, index):
        self.unfold()
        self.driver.find_elements("css selector", ".omvo-layers input")[index].click()

    def legend(self):
        """{class id: (trips, km)} and {overlay name: (None, km)} as the legend shows them."""
        rows = self.js("""return Array.from(document.querySelectorAll('.omvo-legend tbody tr'))
            .filter(r => r.querySelector('.omvo-km'))
            .map(r => [r.dataset.style || r.querySelector('.omvo-label').textContent,
                       r.querySelector('.omvo-trips').textContent,
                       r.querySelector('.omvo-km').textContent]);""")
        return {key: (int(trips) if trips else None, int(re.sub(r"\D", "", km)))
                for key, trips, km in rows}

    def lone_point(self, index, others=False):
        """A point in the window on the line of item `index` where no other drawn line lies
        (with others: where other lines lie too): [x, y, names there], or None."""
        return self.js("""
            const page = omvoPage, map = page.map, item = page.model.items[arguments[0]];
            const box = map.getContainer().getBoundingClientRect();
            const track = item.track, scale = map.options.crs.scale(map.getZoom());
            const origin = map.getPixelOrigin();
            const margin = 60;
            for (const f of [0.5, 0.3, 0.7, 0.1, 0.9, 0.2, 0.8, 0.4, 0.6, 0.05, 0.95, 0.15,
                             0.25, 0.35, 0.45, 0.55, 0.65, 0.75, 0.85, 0]) {
              const at = 2 * Math.floor(f * (track.xy.length / 2 - 1));
              const layer = L.point(track.xy[at] * scale - origin.x,
                                    track.xy[at + 1] * scale - origin.y);
              const p = map.layerPointToContainerPoint(layer);
              if (p.x < margin || p.y < margin || p.x > box.width - margin ||
                  p.y > box.height - margin) continue;
              const names = page.itemsAt(p).map(i => i.name);
              if (!names.includes(item.name)) continue;
              if ((names.length === 1) !== !arguments[1]) continue;
              const x = box.left + p.x, y = box.top + p.y;
              if (document.elementFromPoint(x, y) !== map.getContainer().querySelector(
                  '.leaflet-overlay-pane canvas')) continue;
              return [x, y, names];
            }
            return null;""", index, others)

    def click_at(self, x, y):
        from selenium.webdriver.common.action_chains import ActionChains
        actions = ActionChains(self.driver)
        actions.w3c_actions.pointer_action.move_to_location(int(round(x)), int(round(y)))
        actions.w3c_actions.pointer_action.click()
        actions.perform()

    def close_popups(self):
        """Closes any popup and waits until it is gone (a closing popup fades out, and takes the
        clicks until then) and the map stands still."""
        self.js("omvoPage.map.closePopup()")
        self.wait_for("return !document.querySelector('.leaflet-popup')")
        self.wait_still()

    def reach(self, index):
        """Opens the popup of item `index` by a click on its line: where no other line lies,
        else where others do, choosing it from the list the click offers; the map is fitted to
        the item first when neither is in view. Returns what popup() does."""
        self.close_popups()
        for attempt in range(2):
            point = self.lone_point(index) or self.lone_point(index, others=True)
            if point:
                break
            self.js("omvoPage.map.fitBounds(omvoPage.model.items[arguments[0]].bounds,"
                    " {animate: false})", index)
        else:
            return None
        self.click_at(point[0], point[1])
        if len(point[2]) > 1:
            self.wait_for("return !!document.querySelector('.omvo-chooser')")
            name = self.js("return omvoPage.model.items[arguments[0]].name", index)
            chosen = [b for b in self.driver.find_elements("css selector", ".omvo-chooser button")
                      if b.text.split(" — ")[0] == name]
            if len(chosen) != 1:
                return None
            chosen[0].click()
        return self.popup()

    def wait_still(self):
        """Waits until the map's view stays the same for 0.15 s: a pan animation changes it
        every frame."""
        view = lambda: self.js("return omvoMap.getCenter().toString() + omvoMap.getZoom()")
        last, same, deadline = view(), 0, time.monotonic() + 10
        while same < 3 and time.monotonic() < deadline:
            time.sleep(0.05)
            now = view()
            same = same + 1 if now == last else 0
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

    def hit(self, selector):
        """Whether the element of the selector is what the window shows at its own centre."""
        return self.js("""
            const element = document.querySelector(arguments[0]);
            if (!element) return false;
            const r = element.getBoundingClientRect();
            const hit = document.elementFromPoint(r.left + r.width / 2, r.top + r.height / 2);
            return !!hit && (hit === element || element.contains(hit));""", selector)


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


def page_lines(data, layer):
    """(name, description, style group, [(lat, lon)]) of every line of the page's data in the
    layer (0, 1, 2), in data order, named as the documents name them."""
    lines = []
    for item in data["items"]:
        if not item["m"] & (1 << layer):
            continue
        group = data["classes"][item["k"]]["id"] if item["k"] >= 0 else "other"
        name = item.get("id", item.get("n"))
        segments = item["s"]
        for j, flat in enumerate(segments):
            points, lat, lon = [], 0, 0
            for k in range(0, len(flat), 2):
                lat, lon = lat + flat[k], lon + flat[k + 1]
                points.append((lat / UNITS_PER_DEGREE, lon / UNITS_PER_DEGREE))
            numbered = "%s(%d/%d)" % (name, j + 1, len(segments)) if len(segments) > 1 else name
            lines.append((numbered, "".join(item["d"]), group, points))
    return lines


def page_data(page_bytes):
    """The data block of the page, parsed."""
    import json
    text = page_bytes.decode("utf-8")
    opening = '<script type="application/json" id="omvo-data">'
    start = text.index(opening) + len(opening)
    return json.loads(text[start:text.index("</script>", start)])
