"""Every track point of real GPX files reaches the map where GDAL puts it: the tool, thinning
off, against GDAL's own GPX reader, both read back through GDAL's KML reader. The same files
written again with namespace prefixes on their elements (as XML serializers write them) and
as UTF-16 are checked against Python's namespace-aware XML reader, since GDAL refuses some of
them.

OMVO_GPX_CORPUS may name a further folder of GPX files to check the same way."""

import codecs
import glob
import os
import re
import subprocess
import unittest
import xml.etree.ElementTree as ET

from omvo_e2e import TEST_DATA, SandboxTest, cp1251

POINT = re.compile(r"^\s*POINT \(([-0-9.e+]+) ([-0-9.e+]+)")
LINE = re.compile(r"^\s*LINESTRING Z \((.*)\)\s*$")

# The forms programs write that a line scanner can get wrong: exponents, a '+' sign and
# blanks in values, blanks around '=', start tags over several lines, a self-closing tag
# inside a point, an elevation that is no number, and a waypoint after the last track point
# of a line.
NEW_FORMS = """<?xml version="1.0" encoding="UTF-8"?>
<gpx version="1.1" creator="test" xmlns="http://www.topografix.com/GPX/1/1">
<trk><trkseg>
<trkpt lat="54.7" lon="2.05E1"><ele>1.2e1</ele></trkpt>
<trkpt lat="+54.71" lon=" 20.5"><ele>.</ele></trkpt>
<trkpt lat = "54.72" lon= '20.51'><ele>-</ele><sym/></trkpt>
<trkpt
  lat="54.73"
  lon="20.52"
><ele>7</ele></trkpt>
<trkpt lat="54.74"
       lon="5.253E-1"/>
<trkpt lat="5.475E1" lon="20.53"><ele>1.2.3</ele></trkpt></trkseg></trk><wpt lat="1" lon="2"><ele>99</ele></wpt>
</gpx>
"""


def gdal_points(path, layer):
    done = subprocess.run(["ogrinfo", "-ro", "-q", path, layer], capture_output=True, check=True)
    return [(float(m.group(1)), float(m.group(2)))
            for m in map(POINT.match, done.stdout.decode(errors="replace").splitlines()) if m]


def kml_points(path):
    """The points of the document's lines, in order; every tuple must have three numbers."""
    done = subprocess.run(["ogrinfo", "-ro", "-al", "-q", path], capture_output=True, check=True)
    points = []
    for m in map(LINE.match, done.stdout.decode(errors="replace").splitlines()):
        if m:
            for tuple_text in m.group(1).split(","):
                lon, lat, _ele = (float(v) for v in tuple_text.split())
                points.append((lon, lat))
    return points


GPX_NAMESPACES = ("http://www.topografix.com/GPX/1/0", "http://www.topografix.com/GPX/1/1")


def decoded(data):
    """The text of GPX file bytes: a UTF-16 byte-order mark decides, else UTF-8."""
    if data.startswith(codecs.BOM_UTF16_LE) or data.startswith(codecs.BOM_UTF16_BE):
        return data.decode("utf-16")
    return data.decode("utf-8-sig", errors="replace")


def xml_points(data):
    """The (lon, lat) of every track point, in order, by a namespace-aware XML reader."""
    root = ET.fromstring(decoded(data))
    names = {"trkpt"} | {"{%s}trkpt" % ns for ns in GPX_NAMESPACES}
    return [(float(e.get("lon")), float(e.get("lat"))) for e in root.iter() if e.tag in names]


def variants(data):
    """The file written again: with the prefix ns0: and gpx: on every GPX element (the
    serializer's own layout, all else kept), and as UTF-16 little- and big-endian."""
    text = decoded(data)
    text = re.sub(r"^\s*<\?xml[^>]*\?>", "", text)
    root = ET.fromstring(text)
    # The serializer names the root's namespace ns0 (the GPX one, when the file has it).
    found = {"ns0": ET.tostring(root, encoding="unicode").encode("utf-8")}
    found["gpx"] = found["ns0"].replace(b"ns0:", b"gpx:")
    found["utf-16le"] = codecs.BOM_UTF16_LE + text.encode("utf-16-le")
    found["utf-16be"] = codecs.BOM_UTF16_BE + text.encode("utf-16-be")
    return found


class GpxPoints(SandboxTest):
    def tool_points(self, gpx_path):
        self.box.settings(minspeed="0", mincorner="0")
        self.box.write("list.txt", cp1251(
            "Велопробег: Проверка\r\nКод: gp001, №1\r\nДаты: 1 мая 2012\r\nТрек\r\n"
            "Что посмотреть: GPS-трек\r\n"))
        with open(gpx_path, "rb") as f:
            self.box.write("gpx/gp001tr.gpx", f.read())
        done = self.box.run()
        self.assertEqual(done.code, 0, done.err)
        return kml_points(self.box.path("kml", "omvo-covering.kml"))

    def check(self, gpx_path):
        with self.subTest(os.path.basename(gpx_path)):
            expected = gdal_points(gpx_path, "track_points")
            self.assertTrue(expected, "GDAL finds no track point to compare with")
            actual = self.tool_points(gpx_path)
            self.assertEqual(len(actual), len(expected))
            for k, (a, e) in enumerate(zip(actual, expected)):
                self.assertAlmostEqual(a[0], e[0], delta=1e-9, msg="point %d" % k)
                self.assertAlmostEqual(a[1], e[1], delta=1e-9, msg="point %d" % k)

    def files(self):
        files = sorted(glob.glob(os.path.join(TEST_DATA, "tracks", "*.gpx")))
        corpus = os.environ.get("OMVO_GPX_CORPUS")
        if corpus:
            files += sorted(glob.glob(os.path.join(corpus, "*.gpx")))
        self.assertTrue(files)
        return files

    def test_real_device_files(self):
        for path in self.files():
            self.check(path)

    def test_prefixed_and_utf16_files(self):
        sources = [(os.path.basename(p), open(p, "rb").read()) for p in self.files()]
        sources.append(("forms", NEW_FORMS.encode("utf-8")))
        checked = 0
        for name, data in sources:
            try:
                files = variants(data)
            except ET.ParseError:
                continue  # not well-formed XML: GDAL's comparison covers it
            for kind, variant in files.items():
                with self.subTest(name, variant=kind):
                    if kind in ("ns0", "gpx") and b"xmlns:" + kind.encode() not in variant:
                        continue  # no GPX namespace to prefix
                    expected = xml_points(variant)
                    self.assertTrue(expected, "the XML reader finds no track point")
                    path = self.box.write("variant.gpx", variant)
                    actual = self.tool_points(path)
                    self.assertEqual(len(actual), len(expected))
                    for k, (a, e) in enumerate(zip(actual, expected)):
                        self.assertAlmostEqual(a[0], e[0], delta=1e-9, msg="point %d" % k)
                        self.assertAlmostEqual(a[1], e[1], delta=1e-9, msg="point %d" % k)
                    checked += 1
        self.assertGreater(checked, 2 * len(sources))

    def test_forms_programs_write(self):
        path = self.box.write("forms.gpx", NEW_FORMS)
        self.assertEqual(len(gdal_points(path, "track_points")), 6)
        self.check(path)
        self.assertIn(b"20.5,54.7,12 20.5,54.71,0 20.51,54.72,0 20.52,54.73,7 "
                      b"0.5253,54.74,7 20.53,54.75,0 ",
                      self.box.read("kml/omvo-covering.kml"))


if __name__ == "__main__":
    unittest.main()
