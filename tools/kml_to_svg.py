#!/usr/bin/env python3
"""Draws the three documents of an omvo-covering run as one SVG map.

    python3 tools/kml_to_svg.py OUTPUT_FOLDER MAP.svg [--title TEXT]

OUTPUT_FOLDER is the kmlpath of the run: it holds omvo-covering.kml (everything),
omvo-covering_klg.kml (the trips that stay in the home region) and omvo-covering_far.kml
(the trips that leave it, and the overlay placemarks).  Every line of the main document is
drawn in the colour of its style; the lines that also stand in the far document are dashed,
the overlay placemarks (the ones whose description is no trip description) dotted.  The map
shows the home region with its cut-out rectangles, a graticule every half degree, a scale
bar and a legend.  Python 3 standard library only.
"""

import argparse
import html
import math
import os
import sys
import xml.etree.ElementTree as ET

from home_region import EXCLUSIONS, HOME_BOX

MAIN, HOME, FAR = "omvo-covering.kml", "omvo-covering_klg.kml", "omvo-covering_far.kml"

STYLE_ORDER = [
    ("sn_day_trip", "day ride"),
    ("sn_night_trip", "night ride"),
    ("sn_short_voyage", "short tour (up to 5 days)"),
    ("sn_long_voyage", "long tour (6 to 21 days)"),
    ("sn_great_voyage", "great tour (22 days and more)"),
    ("sn_brevet", "brevet"),
]


KM_PER_DEG_LAT = 111.13
MAP_WIDTH = 1000       # pixels of the map area
PANEL_WIDTH = 330      # the legend beside it
MARGIN = 46            # room for graticule labels around the map area
TITLE_HEIGHT = 54
FONT = "DejaVu Sans, Verdana, Arial, sans-serif"


# ---------------------------------------------------------------------------------------
# Reading

def local(tag):
    return tag.rsplit("}", 1)[-1]


def child_text(elem, name):
    for c in elem:
        if local(c.tag) == name:
            return c.text or ""
    return ""


def kml_colour(text):
    """KML aabbggrr -> ("#rrggbb", opacity)."""
    t = (text or "").strip().lower()
    if len(t) != 8:
        return "#666666", 1.0
    try:
        a = int(t[0:2], 16)
    except ValueError:
        return "#666666", 1.0
    return "#" + t[6:8] + t[4:6] + t[2:4], round(a / 255.0, 3)


def read_document(path):
    """Returns (styles, placemarks): styles {id: (rgb, opacity, width)}, placemarks a list of
    dicts with name, style, description and lines (lists of (lon, lat))."""
    root = ET.parse(path).getroot()
    styles = {}
    placemarks = []
    for elem in root.iter():
        tag = local(elem.tag)
        if tag == "Style":
            sid = elem.get("id", "")
            colour, width = "ff666666", "2"
            for c in elem.iter():
                if local(c.tag) == "LineStyle":
                    colour = child_text(c, "color") or colour
                    width = child_text(c, "width") or width
            rgb, opacity = kml_colour(colour)
            try:
                w = float(width)
            except ValueError:
                w = 2.0
            styles[sid] = (rgb, opacity, w)
        elif tag == "Placemark":
            lines = []
            for c in elem.iter():
                if local(c.tag) == "coordinates":
                    pts = []
                    for tup in (c.text or "").split():
                        parts = tup.split(",")
                        try:
                            pts.append((float(parts[0]), float(parts[1])))
                        except (ValueError, IndexError):
                            continue
                    if pts:
                        lines.append(pts)
            placemarks.append({
                "name": child_text(elem, "name").strip(),
                "style": child_text(elem, "styleUrl").strip().lstrip("#"),
                "description": child_text(elem, "description"),
                "lines": lines,
            })
    return styles, placemarks


def key(p):
    return (p["name"], p["style"], tuple(tuple(l) for l in p["lines"]))


# ---------------------------------------------------------------------------------------
# Drawing helpers

class Projection:
    """Equirectangular: longitude scaled by the cosine of the middle latitude."""

    def __init__(self, south, north, west, east, width):
        self.south, self.north, self.west, self.east = south, north, west, east
        self.cos = math.cos(math.radians((south + north) / 2.0))
        self.k = width / ((east - west) * self.cos)  # pixels per degree of latitude
        self.width = width
        self.height = (north - south) * self.k

    def xy(self, lon, lat):
        return (MARGIN + (lon - self.west) * self.cos * self.k,
                TITLE_HEIGHT + MARGIN + (self.north - lat) * self.k)

    def px_per_km(self):
        return self.k / KM_PER_DEG_LAT


def esc(text):
    return html.escape(text, quote=True)


def path_data(proj, pts):
    out = []
    for i, (lon, lat) in enumerate(pts):
        x, y = proj.xy(lon, lat)
        out.append(("M" if i == 0 else "L") + "%.1f %.1f" % (x, y))
    if len(pts) == 1:
        out.append("l0.01 0")
    return " ".join(out)


def nice_step(target):
    for step in (1, 2, 5, 10, 20, 25, 50, 100, 200, 250, 500):
        if step >= target:
            return step
    return 1000


def place_labels(proj, drawn, taken):
    """One label per placemark, at the first free spot along its line."""
    labels = []
    for p in drawn:
        pts = [pt for line in p["lines"] for pt in line]
        if not pts:
            continue
        text = p["label"]
        w, h = 7.0 * len(text) + 6, 15
        for frac in (0.5, 0.4, 0.6, 0.3, 0.7, 0.2, 0.8, 0.35, 0.65, 0.1, 0.9, 0.0, 1.0):
            x, y = proj.xy(*pts[min(len(pts) - 1, int(frac * (len(pts) - 1)))])
            box = (x + 4, y - h - 2, x + 4 + w, y - 2)
            if not any(box[0] < b[2] and b[0] < box[2] and box[1] < b[3] and b[1] < box[3]
                       for b in taken):
                taken.append(box)
                labels.append((box[0] + 2, box[3] - 4, text, p))
                break
    return labels


# ---------------------------------------------------------------------------------------

def render(folder, title):
    styles, main = read_document(os.path.join(folder, MAIN))
    _, home = read_document(os.path.join(folder, HOME))
    _, far = read_document(os.path.join(folder, FAR))
    far_keys = {key(p) for p in far}
    home_keys = {key(p) for p in home}

    for p in main:
        is_trip = "vplist.php#" in p["description"]
        if not is_trip:
            p["kind"] = "overlay"
        elif key(p) in far_keys:
            p["kind"] = "far"
        else:
            p["kind"] = "home"
        p["label"] = p["name"] if is_trip else p["name"][:40]
        p["in_home"] = key(p) in home_keys

    # Extent: every line and the home region, with a margin.
    lons = [HOME_BOX[2], HOME_BOX[3]]
    lats = [HOME_BOX[0], HOME_BOX[1]]
    for p in main:
        for line in p["lines"]:
            lons += [pt[0] for pt in line]
            lats += [pt[1] for pt in line]
    dlon, dlat = max(lons) - min(lons), max(lats) - min(lats)
    proj = Projection(min(lats) - 0.05 * dlat, max(lats) + 0.05 * dlat,
                      min(lons) - 0.04 * dlon, max(lons) + 0.04 * dlon, MAP_WIDTH)

    total_w = MARGIN * 2 + MAP_WIDTH + PANEL_WIDTH
    map_h = proj.height
    total_h = int(TITLE_HEIGHT + MARGIN * 2 + map_h + 0.5)
    x0, y0 = MARGIN, TITLE_HEIGHT + MARGIN
    x1, y1 = MARGIN + MAP_WIDTH, TITLE_HEIGHT + MARGIN + map_h

    svg = []
    add = svg.append
    add('<?xml version="1.0" encoding="UTF-8"?>')
    add('<svg xmlns="http://www.w3.org/2000/svg" width="%d" height="%d" viewBox="0 0 %d %d" '
        'font-family="%s">' % (total_w, total_h, total_w, total_h, FONT))
    add('<defs><clipPath id="map"><rect x="%.1f" y="%.1f" width="%.1f" height="%.1f"/>'
        '</clipPath></defs>' % (x0, y0, x1 - x0, y1 - y0))
    add('<rect width="100%" height="100%" fill="#ffffff"/>')
    add('<text x="%d" y="32" font-size="22" font-weight="bold" fill="#222">%s</text>'
        % (MARGIN, esc(title)))
    counts = "main document: %d placemarks · home: %d · far: %d" % (len(main), len(home), len(far))
    add('<text x="%d" y="50" font-size="13" fill="#555">%s</text>' % (MARGIN, esc(counts)))

    # Map area and graticule.
    add('<rect x="%.1f" y="%.1f" width="%.1f" height="%.1f" fill="#f4f1e8" stroke="#888" '
        'stroke-width="1"/>' % (x0, y0, x1 - x0, y1 - y0))
    add('<g clip-path="url(#map)">')
    s, n, w, e = HOME_BOX
    hx0, hy0 = proj.xy(w, n)
    hx1, hy1 = proj.xy(e, s)
    add('<rect x="%.1f" y="%.1f" width="%.1f" height="%.1f" fill="#e3ecd9" stroke="#5d7f45" '
        'stroke-width="1.5" stroke-dasharray="10 5"/>' % (hx0, hy0, hx1 - hx0, hy1 - hy0))
    add('<text x="%.1f" y="%.1f" font-size="12" fill="#5d7f45" font-style="italic">'
        'home region (home document)</text>' % (hx0 + 6, hy0 + 16))
    add('<g stroke="#c9c3b3" stroke-width="0.8">')
    grid = 0.5
    lat = math.ceil(proj.south / grid) * grid
    lat_lines = []
    while lat <= proj.north:
        _, y = proj.xy(proj.west, lat)
        add('<line x1="%.1f" y1="%.1f" x2="%.1f" y2="%.1f"/>' % (x0, y, x1, y))
        lat_lines.append((lat, y))
        lat += grid
    lon = math.ceil(proj.west / grid) * grid
    lon_lines = []
    while lon <= proj.east:
        x, _ = proj.xy(lon, proj.south)
        add('<line x1="%.1f" y1="%.1f" x2="%.1f" y2="%.1f"/>' % (x, y0, x, y1))
        lon_lines.append((lon, x))
        lon += grid
    add('</g>')
    for w_, e_, s_, n_ in EXCLUSIONS:
        ax, ay = proj.xy(w_, n_)
        bx, by = proj.xy(e_, s_)
        cx, cy = (ax + bx) / 2, (ay + by) / 2
        size = max(bx - ax, by - ay, 5.0)
        add('<rect x="%.1f" y="%.1f" width="%.1f" height="%.1f" fill="none" stroke="#5d7f45" '
            'stroke-width="1.2"/>' % (cx - size / 2, cy - size / 2, size, size))

    # Lines: overlays first, then trips; a white casing under each for contrast.
    order = [p for p in main if p["kind"] == "overlay"] + \
            [p for p in main if p["kind"] != "overlay"]
    for p in order:
        rgb, opacity, width = styles.get(p["style"], ("#666666", 1.0, 2.0))
        sw = max(1.5, width * 0.42)
        dash = {"far": ' stroke-dasharray="%.1f %.1f"' % (sw * 3.5, sw * 1.8),
                "overlay": ' stroke-dasharray="%.1f %.1f"' % (sw * 0.2, sw * 1.6),
                "home": ""}[p["kind"]]
        cap = "round" if p["kind"] == "overlay" else "butt" if p["kind"] == "far" else "round"
        for line in p["lines"]:
            d = path_data(proj, line)
            if p["kind"] != "overlay":
                add('<path d="%s" fill="none" stroke="#ffffff" stroke-opacity="0.85" '
                    'stroke-width="%.1f" stroke-linejoin="round" stroke-linecap="round"/>'
                    % (d, sw + 2.0))
            add('<path d="%s" fill="none" stroke="%s" stroke-opacity="%s" stroke-width="%.1f" '
                'stroke-linejoin="round" stroke-linecap="%s"%s><title>%s</title></path>'
                % (d, rgb, min(1.0, opacity + 0.25), sw, cap, dash, esc(p["name"])))

    # Labels, kept clear of each other.
    taken = []
    for lbl_x, lbl_y, text, p in place_labels(proj, order, taken):
        add('<text x="%.1f" y="%.1f" font-size="11.5" fill="#222" stroke="#ffffff" '
            'stroke-width="3" stroke-linejoin="round" paint-order="stroke">%s</text>'
            % (lbl_x, lbl_y, esc(text)))
    add('</g>')

    # Graticule labels outside the frame.
    for lat, y in lat_lines:
        add('<text x="%.1f" y="%.1f" font-size="11" fill="#555" text-anchor="end">%.1f°N</text>'
            % (x0 - 5, y + 4, lat))
    for lon, x in lon_lines:
        add('<text x="%.1f" y="%.1f" font-size="11" fill="#555" text-anchor="middle">%.1f°E</text>'
            % (x, y1 + 16, lon))

    # Scale bar, bottom left inside the map.
    ppk = proj.px_per_km()
    step = nice_step(160.0 / ppk / 4.0)
    bar_km = step * 4
    sx, sy = x0 + 18, y1 - 24
    add('<rect x="%.1f" y="%.1f" width="%.1f" height="34" fill="#ffffff" fill-opacity="0.8"/>'
        % (sx - 10, sy - 20, bar_km * ppk + 52))
    for i in range(4):
        add('<rect x="%.1f" y="%.1f" width="%.1f" height="6" fill="%s" stroke="#333" '
            'stroke-width="0.8"/>' % (sx + i * step * ppk, sy, step * ppk,
                                      "#333" if i % 2 == 0 else "#fff"))
    for i in (0, 2, 4):
        add('<text x="%.1f" y="%.1f" font-size="10.5" fill="#333" text-anchor="middle">%d</text>'
            % (sx + i * step * ppk, sy - 5, i * step))
    add('<text x="%.1f" y="%.1f" font-size="10.5" fill="#333">km</text>'
        % (sx + bar_km * ppk + 8, sy + 6))

    # Legend panel.
    lx = x1 + MARGIN
    ly = y0
    add('<text x="%.1f" y="%.1f" font-size="15" font-weight="bold" fill="#222">Line styles</text>'
        % (lx, ly + 4))
    ly += 22
    used = {}
    for p in main:
        used[p["style"]] = used.get(p["style"], 0) + 1
    for sid, meaning in STYLE_ORDER:
        rgb, opacity, width = styles.get(sid, ("#666666", 1.0, 2.0))
        add('<line x1="%.1f" y1="%.1f" x2="%.1f" y2="%.1f" stroke="%s" stroke-opacity="%s" '
            'stroke-width="%.1f" stroke-linecap="round"/>'
            % (lx, ly + 2, lx + 34, ly + 2, rgb, min(1.0, opacity + 0.25), max(1.5, width * 0.42)))
        add('<text x="%.1f" y="%.1f" font-size="12.5" fill="#222">%s</text>'
            % (lx + 44, ly + 1, esc(sid)))
        add('<text x="%.1f" y="%.1f" font-size="11" fill="#666">%s · %d placemark%s</text>'
            % (lx + 44, ly + 15, esc(meaning), used.get(sid, 0), "" if used.get(sid, 0) == 1 else "s"))
        ly += 36

    ly += 10
    add('<text x="%.1f" y="%.1f" font-size="15" font-weight="bold" fill="#222">Documents</text>'
        % (lx, ly))
    ly += 20
    kinds = [("home", "", "trip in the home document", "round"),
             ("far", ' stroke-dasharray="8 4"', "trip in the far document", "butt"),
             ("overlay", ' stroke-dasharray="0.5 4"', "overlay placemark (main, far)", "round")]
    for kind, dash, text, cap in kinds:
        n_kind = sum(1 for p in main if p["kind"] == kind)
        add('<line x1="%.1f" y1="%.1f" x2="%.1f" y2="%.1f" stroke="#444" stroke-width="2.5" '
            'stroke-linecap="%s"%s/>' % (lx, ly - 4, lx + 34, ly - 4, cap, dash))
        add('<text x="%.1f" y="%.1f" font-size="12" fill="#222">%s: %d</text>'
            % (lx + 44, ly, esc(text), n_kind))
        ly += 20
    add('<rect x="%.1f" y="%.1f" width="34" height="12" fill="#e3ecd9" stroke="#5d7f45" '
        'stroke-dasharray="6 3"/>' % (lx, ly - 11))
    add('<text x="%.1f" y="%.1f" font-size="12" fill="#222">home region, □ cut-out areas</text>'
        % (lx + 44, ly))
    ly += 30

    add('<text x="%.1f" y="%.1f" font-size="15" font-weight="bold" fill="#222">'
        'Far document</text>' % (lx, ly))
    ly += 18
    for p in far:
        rgb, opacity, _ = styles.get(p["style"], ("#666666", 1.0, 2.0))
        add('<rect x="%.1f" y="%.1f" width="10" height="10" fill="%s"/>' % (lx, ly - 9, rgb))
        name = p["name"] if len(p["name"]) <= 38 else p["name"][:37] + "…"
        add('<text x="%.1f" y="%.1f" font-size="11.5" fill="#222">%s</text>'
            % (lx + 16, ly, esc(name)))
        ly += 16
    add('</svg>')
    return "\n".join(svg) + "\n"


def main():
    ap = argparse.ArgumentParser(description="Draw the documents of an omvo-covering run as SVG.")
    ap.add_argument("folder", help="the output folder of the run (kmlpath)")
    ap.add_argument("svg", help="the SVG file to write")
    ap.add_argument("--title", default="Club coverage map", help="heading of the picture")
    args = ap.parse_args()
    try:
        text = render(args.folder, args.title)
    except (OSError, ET.ParseError) as err:
        print("kml_to_svg: %s" % err, file=sys.stderr)
        return 1
    with open(args.svg, "w", encoding="utf-8") as f:
        f.write(text)
    return 0


if __name__ == "__main__":
    sys.exit(main())
