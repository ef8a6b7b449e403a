"""A whole run on a small club archive: the exact bytes of the three documents and of the
console, home and far trips, tracks of one, two and three segments, an empty track, two
overlay placemarks; then the stops after the documents were created."""

import os
import unittest

from omvo_e2e import (WINDOWS, SandboxTest, check_kml, cp1251, cp866, failure_report, golden,
                      host_name)

SIGHTS = "Что посмотреть: озёра, GPS-трек"

TRIPS = [
    # id, heading, dates line, summary
    ("ab001", "Велопробег: По округе", "Даты:      15 июля 2010", "Короткая прогулка"),
    ("ab002", "Велопоход: На восток", "Даты:      1-8 мая 2011", "Через границу"),
    ("ab003", "Бревет: Три части", "Даты:      3 июня 2012", "Бревет в три куска"),
    ("ab004", "Велопробег: Ночной город", "Даты:      4 июня 2012", "Трек не записан"),
]


def id_line(trip_id):
    return "Код: %s, №1" % trip_id


def trip_list():
    records = ["\r\n".join([heading, id_line(trip_id), dates, summary, SIGHTS])
               for trip_id, heading, dates, summary in TRIPS]
    return cp1251("\r\n\r\n".join(records) + "\r\n")


def gpx(*tracks):
    """A GPX file with one trk per list of points (lat, lon, extra lines)."""
    lines = ['<?xml version="1.0" encoding="UTF-8"?>', '<gpx version="1.1" creator="test">',
             "<metadata><time>2012-05-01T09:00:00Z</time></metadata>"]
    for points in tracks:
        lines += ["<trk>", "<name>t</name>", "<trkseg>"]
        for lat, lon, ele in points:
            lines.append('<trkpt lat="%s" lon="%s">' % (lat, lon))
            if ele is not None:
                lines.append("<ele>%s</ele>" % ele)
            lines.append("</trkpt>")
        lines += ["</trkseg>", "</trk>"]
    lines.append("</gpx>")
    return "\n".join(lines) + "\n"


# ab001: one segment; the straight middle point is thinned away; texts are trimmed.
AB001 = gpx([("54.700000", "20.500", "12.50"), ("54.705", "20.50", "13"),
             ("54.71", "20.50", None), ("54.71", "20.51", "14.0"), ("54.72", "20.51", "15")])
# ab002: two segments, the first leaves the home region eastwards.
AB002 = gpx([("54.90", "22.80", None), ("54.91", "22.80", None), ("54.91", "22.95", None)],
            [("55.00", "22.95", None), ("55.00", "22.96", None)])
# ab003: three segments, each 10 km or more from the one before.
AB003 = gpx([("54.60", "20.40", "1"), ("54.61", "20.40", "2"), ("54.61", "20.41", "3")],
            [("54.70", "20.41", "4"), ("54.70", "20.42", "5")],
            [("54.80", "20.42", "6"), ("54.80", "20.43", "7"), ("54.81", "20.43", "8")])
AB004 = gpx([])

BORDER_KML = "<kml><Placemark><coordinates>20.1,54.4,0 20.2,54.5,0</coordinates></Placemark></kml>\n"
FERRY_KML = "<kml>\n<coordinates>\n21.0,55.0,0\n\t21.1,55.1,0 \n</coordinates>\n</kml>\n"


class FullRun(SandboxTest):
    def make_archive(self):
        self.box.settings(minspeed="3", mincorner="12")
        self.box.write("list.txt", trip_list())
        for trip_id, content in [("ab001", AB001), ("ab002", AB002), ("ab003", AB003),
                                 ("ab004", AB004)]:
            self.box.write("gpx/%str.gpx" % trip_id, content)
        self.box.write("ov/border.kml", BORDER_KML)
        self.box.write("ov/ferry.kml", FERRY_KML)
        self.box.write("ov/border.txt", cp1251(
            "; граница\r\nname=Граница\r\ndescr=Госграница\r\nstyle=sn_brevet\r\n"
            "file=ov/border.kml\r\n"))
        self.box.write("ov/ferry.txt", cp1251(
            "file=ov/ferry.kml\r\nstyle=sn_great_voyage\r\nname=Паром\r\ndescr=Морем\r\n"))

    def expected(self):
        """The three documents of the run, as checked by hand once and kept as golden files."""
        return {name: golden("full_run", name) for name in
                ["omvo-covering.kml", "omvo-covering_klg.kml", "omvo-covering_far.kml"]}

    def test_documents_and_console(self):
        self.make_archive()
        result = self.box.run("ov/border.txt", "ov/ferry.txt", "ov/missing.txt")
        self.assertEqual(result.code, 0, result.err)
        progress = b"".join(cp866("Загрузка ") + trip_id.encode() + b"tr.gpx" +
                            cp866(" ok.  Фильтрация... ok.  Сохранение... ok.") + b"\r\n"
                            for trip_id, *_ in TRIPS)
        self.assertEqual(result.out,
                         cp866("Загрузка ") + b"ov/border.kml.ok\r\n" +
                         cp866("Загрузка ") + b"ov/ferry.kml.ok\r\n" + progress)
        self.assertIn(b"ov/missing.txt", result.err)
        self.assertIn(b"ab004tr.gpx: no track point", result.err)
        for name, content in self.expected().items():
            with self.subTest(document=name):
                self.assertEqual(self.box.read("kml/" + name).decode(), content.decode())
        self.assertEqual(sorted(os.listdir(self.box.path("kml"))),
                         ["omvo-covering.kml", "omvo-covering_far.kml", "omvo-covering_klg.kml"])
        check_kml(self, self.box.path("kml/omvo-covering.kml"), 8, 4 + 4 + 5 + 8)
        check_kml(self, self.box.path("kml/omvo-covering_klg.kml"), 4, 4 + 8)
        check_kml(self, self.box.path("kml/omvo-covering_far.kml"), 4, 4 + 5)

    def test_missing_gpx_file_keeps_the_earlier_documents(self):
        self.make_archive()
        self.assertEqual(self.box.run().code, 0)
        check_kml(self, self.box.path("kml/omvo-covering.kml"), 6, 17)
        earlier = {name: self.box.read("kml/" + name) for name in os.listdir(self.box.path("kml"))}
        os.remove(self.box.path("gpx/ab003tr.gpx"))
        result = self.box.run()
        self.assertEqual(result.code, 1)
        gpx_path = self.box.path("gpx") + "/ab003tr.gpx"
        self.assertTrue(result.out.endswith(
            cp866("Загрузка ") + b"ab003tr.gpx" + cp866("Файл ") + gpx_path.encode() +
            cp866(" не найден!") + b"\r\n"), result.out)
        self.assertEqual({name: self.box.read("kml/" + name)
                          for name in os.listdir(self.box.path("kml"))}, earlier)

    def test_output_folder_that_does_not_exist(self):
        self.make_archive()
        self.box.settings(kmlpath=self.box.path("nowhere") + "/")
        result = self.box.run()
        self.assertEqual(result.code, 1)
        self.assertTrue(result.err.startswith(failure_report("Invalid filename")), result.err)
        self.assertFalse(self.box.exists("nowhere"))

    def test_kmlpath_without_separator_glues_names_to_its_last_component(self):
        self.make_archive()
        self.box.settings(kmlpath=self.box.path("kml"))
        self.assertEqual(self.box.run().code, 0)
        for name, placemarks, points in [("kmlomvo-covering.kml", 6, 17),
                                         ("kmlomvo-covering_klg.kml", 4, 12),
                                         ("kmlomvo-covering_far.kml", 2, 5)]:
            check_kml(self, self.box.path(name), placemarks, points)


class MarkupInInput(SandboxTest):
    def test_names_and_summaries_with_markup_stay_well_formed(self):
        self.box.settings(minspeed="0", mincorner="0")
        # The trip id names the GPX file: on Windows it takes no "<", and an "&" that looks
        # like a reference but is none must be escaped as well.
        trip_id, escaped = ("a&b;1", "a&amp;b;1") if WINDOWS else ("a&b<1", "a&amp;b&lt;1")
        records = [
            ("Велопробег: A & B <C>", "Код: " + trip_id, "Даты:      1 мая 2011", "Итог ]]> конец"),
            ("Велопробег: Кириллица", "Код: ДЕ12Ж", "Даты:      2 мая 2011", "Обычный"),
        ]
        track = gpx([("54.70", "20.50", None), ("54.71", "20.50", None)])
        self.box.write("gpx/%str.gpx" % trip_id, track)
        with open(self.box.path("gpx").encode() + b"/" + host_name(cp1251("ДЕ12Ж")) + b"tr.gpx",
                  "w") as f:
            f.write(track)
        # The coordinates file has a Cyrillic name, which a UTF-8 overlay file names in CP1251
        # as well.
        os.makedirs(self.box.path("ov"), exist_ok=True)
        with open(self.box.path("ov").encode() + b"/" + host_name(cp1251("карта.kml")), "w") as f:
            f.write("<coordinates>1,2,0 3,4,0</coordinates>")
        list_text = "\r\n\r\n".join("\r\n".join([*r, SIGHTS]) for r in records) + "\r\n"
        overlay_text = ("name=Я & ты <вместе>\r\ndescr=a]]>b\r\nstyle=sn_day_trip\r\n"
                        "file=ov/карта.kml\r\n")
        console = None
        for saved_as in (cp1251, str.encode, lambda text: b"\xef\xbb\xbf" + text.encode()):
            with self.subTest(saved_as=saved_as):
                self.box.write("list.txt", saved_as(list_text))
                self.box.write("ov/x.txt", saved_as(overlay_text))
                result = self.box.run("ov/x.txt")
                self.assertEqual(result.code, 0, result.err)
                console = console or result.out
                self.assertEqual(result.out, console)
                main = self.box.read("kml/omvo-covering.kml").decode()
                self.assertIn("<name>%s</name>" % escaped, main)
                self.assertIn("<name>ДЕ12Ж</name>", main)
                self.assertIn("Итог ]]]]><![CDATA[> конец", main)
                self.assertIn("<name>Я &amp; ты &lt;вместе&gt;</name>", main)
                self.assertIn("<description><![CDATA[a]]]]><![CDATA[>b]]></description>", main)
                self.assertIn("<coordinates>1,2,0 3,4,0 </coordinates>", main)
                check_kml(self, self.box.path("kml/omvo-covering.kml"), 3, 2 + 2 + 2)
                check_kml(self, self.box.path("kml/omvo-covering_klg.kml"), 2, 4)
                check_kml(self, self.box.path("kml/omvo-covering_far.kml"), 1, 2)

if __name__ == "__main__":
    unittest.main()
