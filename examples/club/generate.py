#!/usr/bin/env python3
"""Writes the example club archive that lies beside this script.

The archive is what a small cycling club keeps for omvo-covering:

  vplist.txt            the trip list: CP1251, CR LF line ends, five-line records
  gpx/<id>tr.gpx        one GPX 1.1 track per trip whose record announces a GPS track
  overlays/*.txt        two overlay placemark files (CP1251)
  overlays/*.kml        the coordinates source files they name

Everything is generated from a fixed seed, so running the script again rewrites the same
bytes.  Python 3 standard library only:

    python3 examples/club/generate.py

The tracks are made up, but shaped like real rides: roads between real places of the
Kaliningrad region and its neighbours, wandering like country roads, ridden at 12 to 28 km/h,
logged every 5 to 30 seconds with a few metres of receiver noise, with stops at rest places
and overnight camps between the days of a tour.  The script checks the facts the example
relies on (home trips stay inside the home region, far trips leave it, where a new track
section starts 5 km or more away) and refuses to write an archive that breaks them.
"""

import math
import os
import random
import sys
from datetime import datetime, timedelta

HERE = os.path.dirname(os.path.abspath(__file__))
SEED = 20100612

# The home region of the tool, shared with the map drawing.
sys.path.insert(0, os.path.join(HERE, "..", "..", "tools"))
from home_region import outside_home  # noqa: E402


def tool_distance_km(a, b):
    """The distance the tool measures between two points (lat, lon): flat, cosine at a."""
    dx = abs(a[1] - b[1]) * math.cos(a[0] * math.pi / 180.0) * (1000.0 / 9.0)
    dy = abs(a[0] - b[0]) * 111.134866666666666656
    return math.hypot(dx, dy)


# ---------------------------------------------------------------------------------------
# Places (lat, lon) the routes run between.

PLACES = {
    # Kaliningrad and the coast
    "kgd_south_station": (54.6965, 20.5005),
    "kgd_centre": (54.7104, 20.5101),
    "kgd_west": (54.7065, 20.4405),
    "kgd_north_station": (54.7215, 20.5005),
    "pribrezhny": (54.7005, 20.3655),
    "svetly": (54.6755, 20.1355),
    "baltiysk_citadel": (54.6475, 19.9205),
    "baltiysk_mole": (54.6418, 19.8965),
    "primorsk": (54.7320, 20.0050),
    "yantarny": (54.8700, 19.9400),
    "svetlogorsk": (54.9430, 20.1530),
    "zelenogradsk": (54.9600, 20.4750),
    "zelenogradsk_beach": (54.9625, 20.4890),
    # the Curonian Spit
    "lesnoy": (55.0150, 20.6150),
    "rybachy": (55.1560, 20.8500),
    "dancing_forest": (55.1800, 20.8620),
    "morskoe": (55.2280, 20.9280),
    "nida": (55.3030, 21.0050),
    "juodkrante": (55.5500, 21.1200),
    "smiltyne": (55.6975, 21.1215),
    "klaipeda_ferry": (55.7070, 21.1290),
    "klaipeda": (55.7100, 21.1350),
    "palanga": (55.9180, 21.0680),
    "kretinga": (55.8890, 21.2420),
    "giruliai": (55.7600, 21.0900),
    # inland
    "gurievsk": (54.7700, 20.6040),
    "gvardeysk": (54.6560, 21.0760),
    "znamensk": (54.6120, 21.2270),
    "chernyakhovsk": (54.6330, 21.8150),
    "bolshakovo": (54.8800, 21.6600),
    "polessk": (54.8630, 21.1020),
    "golovkino": (54.9850, 21.2450),
    "slavsk": (55.0450, 21.6750),
    "sovetsk_west": (55.0750, 21.8650),
    "neman": (55.0300, 22.0300),
    "pravdinsk": (54.4430, 21.0200),
    "zheleznodorozhny": (54.3720, 21.3050),
    "gusev": (54.5900, 22.2000),
    "nesterov": (54.6310, 22.5710),
    "vishtynets_lake": (54.4450, 22.6900),
    "krasnolesye": (54.3950, 22.4300),
    "ozyorsk": (54.4090, 22.0120),
    # beyond the region
    "kybartai": (54.6390, 22.7580),
    "vilkaviskis": (54.6500, 23.0300),
    "marijampole": (54.5590, 23.3540),
    "prienai": (54.6330, 23.9420),
    "kaunas": (54.8980, 23.9040),
    "vilkija": (55.0450, 23.5850),
    "jurbarkas": (55.0770, 22.7650),
    "silute": (55.3480, 21.4830),
}

# Local flat coordinates in km around the middle of the region, for drawing the roads.
LAT0, LON0 = 54.8, 20.5
KX = 111.32 * math.cos(math.radians(LAT0))
KY = 111.13


def to_xy(latlon):
    return ((latlon[1] - LON0) * KX, (latlon[0] - LAT0) * KY)


def to_latlon(xy):
    return (LAT0 + xy[1] / KY, LON0 + xy[0] / KX)


def elevation(lat, lon):
    """A smooth, made-up relief: low near the coast, hills in the south-east."""
    rolling = 0.5 + 0.5 * math.sin(lat * 23.0 + lon * 11.0) * math.cos(lon * 17.0 - lat * 5.0)
    upland = 170.0 * math.exp(-((lat - 54.42) ** 2 / 0.03 + (lon - 22.6) ** 2 / 0.15))
    coast = max(0.0, min(1.0, (55.0 - lat) * 3.0))
    return max(0.5, 3.0 + 40.0 * rolling * (0.4 + 0.6 * coast) + upland)


# ---------------------------------------------------------------------------------------
# Roads and rides.

def road(rng, names, wander=0.06):
    """A road through the named places: between two places it wanders off the straight line
    like a country road (a Brownian bridge across, vertices 0.2 to 1.8 km apart), with small
    bends everywhere and now and then a sharper one at a junction."""
    points = [to_xy(PLACES[names[0]])]
    for a_name, b_name in zip(names, names[1:]):
        a, b = to_xy(PLACES[a_name]), to_xy(PLACES[b_name])
        length = math.hypot(b[0] - a[0], b[1] - a[1])
        ts = [0.0]
        while ts[-1] < length:
            ts.append(ts[-1] + rng.uniform(0.2, 1.8))
        ts = [t / ts[-1] for t in ts]
        walk = [0.0]
        for t0, t1 in zip(ts, ts[1:]):
            walk.append(walk[-1] + rng.gauss(0.0, 1.0) * math.sqrt(t1 - t0))
        bridge = [w - t * walk[-1] for w, t in zip(walk, ts)]
        peak = max(abs(v) for v in bridge) or 1.0
        amplitude = min(wander * length, 2.5) * rng.uniform(0.6, 1.0)
        ux, uy = (b[0] - a[0]) / length, (b[1] - a[1]) / length
        bend = min(1.0, length / 5.0)
        for i, (t, v) in enumerate(zip(ts[1:], bridge[1:]), 1):
            off = v / peak * amplitude
            if i < len(ts) - 1:  # bends and junctions between the places, not at them
                off += bend * rng.gauss(0.0, 0.25 if rng.random() < 0.12 else 0.05)
            points.append((a[0] + (b[0] - a[0]) * t - uy * off,
                           a[1] + (b[1] - a[1]) * t + ux * off))
    return points


class Ride:
    """One logged ride: the rider moves along a road at a wandering speed, the receiver
    writes a point every dt seconds with a few metres of noise."""

    def __init__(self, rng, start, dt, noise_m=2.5):
        self.rng = rng
        self.time = start
        self.dt = dt  # seconds, or a function giving the next interval
        self.noise = noise_m / 1000.0
        self.points = []  # (lat, lon, ele, time)
        self.ele_bias = rng.uniform(-3.0, 3.0)

    def _interval(self):
        return self.dt() if callable(self.dt) else self.dt

    def _log(self, xy, noise):
        rng = self.rng
        x = xy[0] + rng.gauss(0.0, noise)
        y = xy[1] + rng.gauss(0.0, noise)
        lat, lon = to_latlon((x, y))
        self.ele_bias = 0.97 * self.ele_bias + rng.gauss(0.0, 0.3)
        ele = elevation(lat, lon) + self.ele_bias
        self.points.append((lat, lon, ele, self.time))

    def ride(self, names, speed, wander=0.06):
        """Ride through the named places at about `speed` km/h."""
        rng = self.rng
        pts = road(rng, names, wander)
        cum = [0.0]
        for p, q in zip(pts, pts[1:]):
            cum.append(cum[-1] + math.hypot(q[0] - p[0], q[1] - p[1]))
        total = cum[-1]
        s, k, f = 0.0, 0, 0.0
        if not self.points:
            self._log(pts[0], self.noise)
        while True:
            dt = self._interval()
            f = 0.85 * f + rng.gauss(0.0, 0.05)
            f = max(-0.35, min(0.35, f))
            s += speed * (1.0 + f) * dt / 3600.0
            self.time += timedelta(seconds=dt)
            if s >= total:
                self._log(pts[-1], self.noise)
                return
            while cum[k + 1] < s:
                k += 1
            r = (s - cum[k]) / (cum[k + 1] - cum[k])
            p, q = pts[k], pts[k + 1]
            self._log((p[0] + (q[0] - p[0]) * r, p[1] + (q[1] - p[1]) * r), self.noise)

    def stop(self, minutes):
        """Stand still: the receiver keeps logging, drifting a metre or so per point."""
        lat, lon = self.points[-1][0], self.points[-1][1]
        home = to_xy((lat, lon))
        drift = (0.0, 0.0)
        end = self.time + timedelta(minutes=minutes)
        while True:
            dt = self._interval()
            if self.time + timedelta(seconds=dt) > end:
                break
            self.time += timedelta(seconds=dt)
            drift = (0.7 * drift[0] + self.rng.gauss(0.0, 0.0008),
                     0.7 * drift[1] + self.rng.gauss(0.0, 0.0008))
            self._log((home[0] + drift[0], home[1] + drift[1]), 0.0)
        self.time = end


def day(rng, date_text, hhmm, dt, plan, noise_m=2.5):
    """A ride that starts on the given day and UTC time and follows the plan: a list of
    ("ride", names, speed[, wander]) and ("stop", minutes)."""
    start = datetime.strptime(date_text + " " + hhmm, "%Y-%m-%d %H:%M")
    start += timedelta(seconds=rng.randint(0, 59))
    r = Ride(rng, start, dt, noise_m)
    for step in plan:
        if step[0] == "ride":
            r.ride(step[1], step[2], *step[3:])
        else:
            r.stop(step[1])
    return r.points


def traced_route(rng, names, wander=0.06):
    """A route drawn afterwards in a route planner: the road's vertices and points between
    them every 250 to 450 m, exactly on the line, without time or elevation."""
    pts = road(rng, names, wander)
    out = [to_latlon(pts[0])]
    for p, q in zip(pts, pts[1:]):
        length = math.hypot(q[0] - p[0], q[1] - p[1])
        n = max(1, int(length / rng.uniform(0.25, 0.45)))
        for i in range(1, n + 1):
            out.append(to_latlon((p[0] + (q[0] - p[0]) * i / n, p[1] + (q[1] - p[1]) * i / n)))
    return out


def track_km(points):
    return sum(tool_distance_km(a, b) for a, b in zip(points, points[1:]))


# ---------------------------------------------------------------------------------------
# GPX writing.

GPX_HEAD = (
    '<?xml version="1.0" encoding="UTF-8"?>\n'
    '<gpx version="1.1" creator="club track archive"'
    ' xmlns="http://www.topografix.com/GPX/1/1"'
    ' xmlns:xsi="http://www.w3.org/2001/XMLSchema-instance"'
    ' xsi:schemaLocation="http://www.topografix.com/GPX/1/1'
    ' http://www.topografix.com/GPX/1/1/gpx.xsd">\n'
)


def iso(t):
    return t.strftime("%Y-%m-%dT%H:%M:%SZ")


def gpx_text(trip_id, tracks, layout="lines", first_time=None):
    """tracks: list of (name, points).  layout "lines": the usual four lines per point;
    "selfclosing": one <trkpt .../> per line, nothing else."""
    out = [GPX_HEAD, " <metadata>\n", "  <name>%s</name>\n" % trip_id]
    if first_time is not None:
        out.append("  <time>%s</time>\n" % iso(first_time))
    out.append(" </metadata>\n")
    for name, points in tracks:
        out.append(" <trk>\n  <name>%s</name>\n  <trkseg>\n" % name)
        for p in points:
            if layout == "selfclosing":
                out.append('   <trkpt lat="%.6f" lon="%.6f"/>\n' % (p[0], p[1]))
            else:
                out.append('   <trkpt lat="%.6f" lon="%.6f">\n'
                           '    <ele>%.1f</ele>\n'
                           '    <time>%s</time>\n'
                           '   </trkpt>\n' % (p[0], p[1], p[2], iso(p[3])))
        out.append("  </trkseg>\n </trk>\n")
    out.append("</gpx>\n")
    return "".join(out)


# ---------------------------------------------------------------------------------------
# The trips, in the order of the trip list.

def make_tracks(rng):
    """Returns {trip id: (list of (track name, points), layout)}."""
    t = {}

    # vp101: a day ride along the amber coast, logged every 25 s.
    t["vp101"] = ([("12.06.2010", day(rng, "2010-06-12", "06:10", 25, [
        ("ride", ["kgd_north_station", "svetlogorsk"], 19.0),
        ("stop", 35),
        ("ride", ["svetlogorsk", "yantarny"], 18.0, 0.04),
        ("stop", 50),
        ("ride", ["yantarny", "primorsk", "kgd_west"], 20.0),
    ]))], "lines")

    # vp102: to Baltiysk with rests; the receiver logs every 10 s, so the rests and the walk
    # through the citadel leave clusters of slow points.
    t["vp102"] = ([("24.07.2010", day(rng, "2010-07-24", "06:30", 10, [
        ("ride", ["kgd_centre", "kgd_west", "pribrezhny"], 19.0),
        ("stop", 6),
        ("ride", ["pribrezhny", "svetly"], 21.0),
        ("stop", 11),
        ("ride", ["svetly", "baltiysk_citadel"], 20.0),
        ("ride", ["baltiysk_citadel", "baltiysk_mole"], 2.5, 0.02),  # on foot
        ("stop", 14),
    ]))], "lines")

    # vp103: the night ride; it starts at midnight local time, 21:00 UTC, and runs across
    # the change of date.
    t["vp103"] = ([("14-15.08.2010", day(rng, "2010-08-14", "21:00", 20, [
        ("ride", ["kgd_north_station", "zelenogradsk", "zelenogradsk_beach"], 18.0),
        ("stop", 40),
        ("ride", ["zelenogradsk_beach", "gurievsk", "kgd_north_station"], 17.0),
    ]))], "lines")

    # vp104 has no GPS track.

    # vp105: five days through the Polesye lowland to the Neman; one track per riding day,
    # each starting where the previous one ended (one line on the map).
    days = [
        ("28.04.2011", "2011-04-28", "07:00", [("ride", ["kgd_centre", "polessk"], 17.0)]),
        ("29.04.2011", "2011-04-29", "07:30", [("ride", ["polessk", "golovkino", "slavsk"], 16.0)]),
        ("30.04.2011", "2011-04-30", "08:00", [("ride", ["slavsk", "sovetsk_west"], 17.0)]),
        ("01.05.2011", "2011-05-01", "07:15", [("ride", ["sovetsk_west", "neman"], 16.0),
                                               ("stop", 25),
                                               ("ride", ["neman", "chernyakhovsk"], 18.0)]),
    ]
    t["vp105"] = ([(name, day(rng, date, hhmm, 30, plan)) for name, date, hhmm, plan in days],
                  "lines")

    # br201: a 200 km brevet, controls in Chernyakhovsk and Bolshakovo.
    t["br201"] = ([("BRM 200", day(rng, "2011-05-21", "04:00", 30, [
        ("ride", ["kgd_south_station", "gvardeysk", "znamensk", "chernyakhovsk"], 26.0),
        ("stop", 9),
        ("ride", ["chernyakhovsk", "bolshakovo"], 25.0),
        ("stop", 6),
        ("ride", ["bolshakovo", "polessk", "kgd_north_station"], 24.0),
    ]))], "lines")

    # vp106: two days on the Curonian Spit.  On the third day the group took the bus from
    # Rybachy to Lesnoy, so the second track starts some 20 km from the end of the first:
    # two sections, two placemarks.
    spit = 0.008
    t["vp106"] = ([
        ("10.06.2011", day(rng, "2011-06-10", "06:45", 25, [
            ("ride", ["kgd_north_station", "zelenogradsk"], 18.0),
            ("stop", 20),
            ("ride", ["zelenogradsk", "lesnoy", "rybachy"], 17.0, spit),
        ])),
        ("12.06.2011", day(rng, "2011-06-12", "08:20", 25, [
            ("ride", ["lesnoy", "zelenogradsk"], 18.0, spit),
            ("stop", 30),
            ("ride", ["zelenogradsk", "kgd_north_station"], 19.0),
        ])),
    ], "lines")

    # vp107: nine days north along the Curonian Spit into Lithuania, to Palanga and back to
    # Klaipeda; rest days have no track; on 11 July a ferry crossing splits the day in two
    # tracks a kilometre apart (still one line).
    days = [
        ("07.07.2011", "2011-07-07", "07:00", [("ride", ["kgd_centre", "zelenogradsk"], 17.0),
                                               ("stop", 30),
                                               ("ride", ["zelenogradsk", "lesnoy"], 15.0, spit)]),
        ("08.07.2011", "2011-07-08", "07:40", [("ride", ["lesnoy", "rybachy"], 16.0, spit),
                                               ("stop", 45),
                                               ("ride", ["rybachy", "dancing_forest", "morskoe"], 14.0, spit)]),
        ("09.07.2011", "2011-07-09", "08:10", [("ride", ["morskoe", "nida"], 15.0, spit)]),
        ("11.07.2011", "2011-07-11", "06:50", [("ride", ["nida", "juodkrante", "smiltyne"], 17.0, spit)]),
        ("11.07.2011 Klaipeda", "2011-07-11", "11:20", [("ride", ["klaipeda_ferry", "klaipeda", "giruliai"], 14.0, 0.03)]),
        ("12.07.2011", "2011-07-12", "07:30", [("ride", ["giruliai", "palanga"], 17.0)]),
        ("14.07.2011", "2011-07-14", "07:10", [("ride", ["palanga", "kretinga", "klaipeda"], 17.0)]),
    ]
    t["vp107"] = ([(name, day(rng, date, hhmm, 30, plan)) for name, date, hhmm, plan in days],
                  "lines")

    # vp108: a day ride in the south, close to the border, logged every 15 s.
    t["vp108"] = ([("20.08.2011", day(rng, "2011-08-20", "07:05", 15, [
        ("ride", ["pravdinsk", "zheleznodorozhny"], 19.0, 0.04),
        ("stop", 30),
        ("ride", ["zheleznodorozhny", "pravdinsk"], 19.0, 0.04),
    ]))], "lines")

    # vp109: the lakes and hills of the south-east, every 20 s.
    t["vp109"] = ([("17.09.2011", day(rng, "2011-09-17", "06:40", 20, [
        ("ride", ["nesterov", "vishtynets_lake"], 18.0, 0.05),
        ("stop", 60),
        ("ride", ["vishtynets_lake", "krasnolesye", "ozyorsk"], 17.0, 0.04),
    ]))], "lines")

    # vp110: the great tour through Lithuania and back over the Curonian Spit, drawn
    # afterwards in a route planner: self-closing points, one per line, no time, no ele.
    t["vp110"] = ([("03.07-28.07.2012", traced_route(rng, [
        "kgd_south_station", "gvardeysk", "chernyakhovsk", "gusev", "nesterov", "kybartai",
        "vilkaviskis", "marijampole", "prienai", "kaunas", "vilkija", "jurbarkas", "silute",
        "klaipeda", "smiltyne", "juodkrante", "nida", "morskoe", "rybachy", "lesnoy",
        "zelenogradsk", "kgd_north_station"], 0.035))], "selfclosing")

    # vp111: a short winter ride, every 10 s.
    t["vp111"] = ([("30.12.2012", day(rng, "2012-12-30", "09:30", 10, [
        ("ride", ["kgd_north_station", "gurievsk"], 14.0, 0.05),
        ("stop", 25),
        ("ride", ["gurievsk", "kgd_centre"], 13.0, 0.05),
    ]))], "lines")
    return t


# ---------------------------------------------------------------------------------------
# The trip list.  A record: heading, identification line (the trip id at characters 6 to
# 10), dates line (11 characters of label, then the dates), summary, sights line.

DATES_LABEL = "Даты:      "  # 11 characters
GPS = "Что посмотреть: фотографии, отчёт, GPS-трек"
NO_GPS = "Что посмотреть: фотографии, отчёт"

# trip id, heading, dates, participants, summary, sights
TRIPS = [
    ("vp101", "Велопробег: «Янтарный берег»: Калининград – Светлогорск – Янтарный",
     "12 июня 2010", 14,
     "Вдоль моря через Светлогорск к карьеру в Янтарном, обратно через Приморск. "
     "Купание, обед на берегу.", GPS),
    ("vp102", "Велопробег: Калининград — Балтийск", "24 июля 2010", 9,
     "По старой дороге через Прибрежный и Светлый к цитадели и молу Балтийска. "
     "Привалы, прогулка по крепости, обратно поездом.", GPS),
    ("vp103", "Велопробег: ночной Калининград — Зеленоградск — Калининград",
     "14-15 августа 2010", 22,
     "Старт в полночь от Северного вокзала, рассвет на пляже в Зеленоградске, "
     "возвращение через Гурьевск.", GPS),
    ("vp104", "Велопробег: Форты Калининграда", "18 сентября 2010", 11,
     "Объезд фортов внешнего кольца. Трек не записывали.", NO_GPS),
    ("vp105", "Велопоход: По Полесью к Неману", "28 апреля - 2 мая 2011", 7,
     "Пятидневный поход по Полесью: Полесск, Головкино, Славск, Советск и Неман. "
     "Ночёвки в палатках у рек Дейма и Гильге, днёвка в Славске, переправа через "
     "Матросовку, возвращение поездом из Черняховска. Дороги: брусчатка, грунтовки и "
     "немного асфальта.", GPS),
    ("br201", "Бревет: 200 км Калининград – Черняховск – Калининград", "21 мая 2011", 17,
     "Бревет на 200 км, контрольные пункты в Черняховске и Большакове. "
     "Лимит 13 ч 30 мин, все участники финишировали.", GPS),
    ("vp106", "Велопоход: Куршская коса", "10-12 июня 2011", 6,
     "Два дня на косе: Лесной, Рыбачий, Танцующий лес. Обратно до Лесного на автобусе "
     "из-за встречного ветра, дальше своим ходом.", GPS),
    ("vp107", "Велопоход: Куршская коса и Жемайтия", "7-15 июля 2011", 8,
     "По косе через Морское в Ниду, паром в Клайпеду, Паланга и Кретинга. "
     "Две днёвки у моря, домой автобусом.", GPS),
    ("vp108", "Велопробег: Правдинск — Железнодорожный", "20 августа 2011", 12,
     "Кольцо по южным дорогам вдоль Лавы: мосты, кирхи и аллеи.", GPS),
    ("vp109", "Велопробег: Виштынецкий лес, этап № 2", "17 сентября 2011", 10,
     "Несторов, берег Виштынецкого озера, Краснолесье и Озёрск. Холмы до 200 м.", GPS),
    ("vp110", "Велопоход: Вокруг Немана", "3-28 июля 2012", 5,
     "Большой поход: Гусев, Кибартай, Мариямполе, Каунас, вдоль Немана до Юрбаркаса "
     "и Шилуте, Клайпеда и вся Куршская коса. Трек нарисован по карте.", GPS),
    ("vp111", "Велопробег: Новогодний, за ёлкой в Гурьевск", "30 декабря 2012", 19,
     "Ёлку везли на багажнике по снегу. Горячий чай у ёлочного базара.", GPS),
]

EXPECTED = {
    # trip id: (style id, document, segments)
    "vp101": ("sn_day_trip", "home", 1),
    "vp102": ("sn_day_trip", "home", 1),
    "vp103": ("sn_night_trip", "home", 1),
    "vp105": ("sn_short_voyage", "home", 1),
    "br201": ("sn_brevet", "home", 1),
    "vp106": ("sn_short_voyage", "home", 2),
    "vp107": ("sn_long_voyage", "far", 1),
    "vp108": ("sn_day_trip", "home", 1),
    "vp109": ("sn_day_trip", "home", 1),
    "vp110": ("sn_great_voyage", "far", 1),
    "vp111": ("sn_day_trip", "home", 1),
}


def trip_list_text(lengths):
    lines = ["Список велопробегов и походов клуба (пример)", ""]
    for trip_id, heading, dates, people, summary, sights in TRIPS:
        km = lengths.get(trip_id)
        ident = "Код: %s  Участников: %d" % (trip_id, people)
        if km is not None:
            ident += "  Протяжённость: %d км" % round(km)
        lines += [heading, ident, DATES_LABEL + dates, summary, sights, ""]
    return "\r\n".join(lines[:-1]) + "\r\n"


# ---------------------------------------------------------------------------------------
# Overlays.  The file= paths are relative: the tool takes them from the current directory
# of the run, so these are written as paths from the repository root and the tool is to be
# run from there (as the README's first command does).

OVERLAY_DIR = "examples/club/overlays/"

BORDER_FILE = "\r\n".join([
    "; Наложение для карты клуба: южная граница области",
    "name=Государственная граница (южный участок)",
    "descr=Граница с Польшей от Балтийской косы до Виштынецкого озера. "
    "Пограничная зона: маршруты вдоль неё согласуйте заранее.",
    "style=sn_brevet",
    "file=" + OVERLAY_DIR + "border.kml",
]) + "\r\n"

FERRY_FILE = "\r\n".join([
    "name=Паром Балтийск - Балтийская коса",
    "descr=Переправа через пролив, 10 минут; велосипеды перевозят бесплатно.",
    "style=sn_short_voyage",
    "file=" + OVERLAY_DIR + "ferry.kml",
]) + "\r\n"

BORDER_COORDS = [  # lon, lat
    (19.6305, 54.4558), (19.7990, 54.4430), (19.8940, 54.4315), (20.0550, 54.4140),
    (20.3300, 54.3950), (20.6620, 54.3685), (21.0000, 54.3520), (21.3000, 54.3420),
    (21.7000, 54.3330), (22.0000, 54.3300), (22.2970, 54.3360), (22.5000, 54.3400),
    (22.7000, 54.3550), (22.7920, 54.3630),
]
FERRY_COORDS = [(19.9035, 54.6478), (19.8985, 54.6452), (19.8930, 54.6430), (19.8880, 54.6418)]


def kml_source(name, coordinates_block):
    return ('<?xml version="1.0" encoding="UTF-8"?>\n'
            '<kml xmlns="http://www.opengis.net/kml/2.2">\n'
            '<Document>\n'
            '<name>%s</name>\n'
            '<Placemark>\n'
            '<name>%s</name>\n'
            '<LineString>\n'
            '<tessellate>1</tessellate>\n'
            '%s'
            '</LineString>\n'
            '</Placemark>\n'
            '</Document>\n'
            '</kml>\n' % (name, name, coordinates_block))


def border_kml():
    body = "".join("      %.4f,%.4f,0\n" % c for c in BORDER_COORDS)
    return kml_source("border", "<coordinates>\n" + body + "    </coordinates>\n")


def ferry_kml():
    body = " ".join("%.4f,%.4f,0" % c for c in FERRY_COORDS)
    return kml_source("ferry", "<coordinates>" + body + "</coordinates>\n")


# ---------------------------------------------------------------------------------------
# Checks and writing.

def check(tracks):
    for trip_id, (style, document, segments) in EXPECTED.items():
        parts, _ = tracks[trip_id]
        points = [p for _, pts in parts for p in pts]
        far = any(outside_home(p[0], p[1]) for p in points)
        assert far == (document == "far"), (trip_id, far)
        sections = 1
        for (_, prev), (_, cur) in zip(parts, parts[1:]):
            if tool_distance_km(prev[-1], cur[0]) >= 5.0:
                sections += 1
        assert sections == segments, (trip_id, sections)
        if len(points[0]) > 3:
            times = [p[3] for p in points]
            assert all(a < b for a, b in zip(times, times[1:])), trip_id
    by_id = {t[0]: t for t in TRIPS}
    for trip_id, _, _, _, summary, sights in TRIPS:
        assert ("GPS-трек" in sights) == (trip_id in EXPECTED), trip_id
    assert len(by_id["vp105"][4].encode("cp1251")) > 180
    assert {v[0] for v in EXPECTED.values()} == {
        "sn_day_trip", "sn_night_trip", "sn_short_voyage", "sn_long_voyage",
        "sn_great_voyage", "sn_brevet"}


def write(path, data):
    full = os.path.join(HERE, path)
    os.makedirs(os.path.dirname(full), exist_ok=True)
    with open(full, "wb") as f:
        f.write(data)


def main():
    rng = random.Random(SEED)
    tracks = make_tracks(rng)
    check(tracks)
    lengths = {}
    for trip_id, (parts, layout) in sorted(tracks.items()):
        points = [p for _, pts in parts for p in pts]
        lengths[trip_id] = sum(track_km(pts) for _, pts in parts)
        first = points[0][3] if layout == "lines" else None
        data = gpx_text(trip_id, parts, layout, first)
        if layout == "selfclosing":
            data = data.replace("\n", "\r\n")  # saved on Windows
        write("gpx/%str.gpx" % trip_id, data.encode("utf-8"))
    write("vplist.txt", trip_list_text(lengths).encode("cp1251"))
    write("overlays/border.txt", BORDER_FILE.encode("cp1251"))
    write("overlays/ferry.txt", FERRY_FILE.encode("cp1251"))
    write("overlays/border.kml", border_kml().encode("utf-8"))
    write("overlays/ferry.kml", ferry_kml().encode("utf-8"))
    for trip_id in sorted(tracks):
        parts, _ = tracks[trip_id]
        print("%s: %d points in %d track(s), %.0f km" % (
            trip_id, sum(len(p) for _, p in parts), len(parts), lengths[trip_id]))


if __name__ == "__main__":
    main()
