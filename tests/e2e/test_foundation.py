"""The run's start: the command line, settings file, trip list, and the stops before any
document exists."""

import os
import unittest

from omvo_e2e import (MODULE, VERSION, WINDOWS, SandboxTest, cp1251, cp866, failure_report,
                      tool_path)

SIGHTS = "Что посмотреть: озеро, GPS-трек"


def record(trip_id, sights=SIGHTS):
    return "\r\n".join(["Велопробег: По округе", "Код: " + trip_id + " прочее",
                        "Даты:      15 июля 2010", "Краткое описание", sights]) + "\r\n"


class CommandLine(SandboxTest):
    def archive(self):
        """A runnable archive whose output folder holds a document of an earlier run."""
        self.box.settings()
        self.box.write("list.txt", cp1251(record("ab001")))
        self.box.write("gpx/ab001tr.gpx", '<trkpt lat="54.7" lon="20.5"></trkpt>\n')
        self.box.write("kml/omvo-covering.kml", b"earlier run")

    def test_help_and_version_read_and_write_no_file(self):
        usage_start = b"omvo-covering " + VERSION.encode() + cp866(": рисует поездки")
        settings_line = b"\r\n" + tool_path(self.box.ini).encode() + b"\r\n"
        for with_settings in (False, True):
            if with_settings:
                self.archive()
            for args in (["--help"], ["-h"], ["x.txt", "--help", "--version"]):
                with self.subTest(args=args, settings=with_settings):
                    result = self.box.run(*args)
                    self.assertEqual((result.code, result.err), (0, b""))
                    self.assertTrue(result.out.startswith(usage_start), result.out)
                    self.assertIn(cp866("Запуск: ") + MODULE.encode() +
                                  cp866(" [файл-наложения ...]"), result.out)
                    self.assertTrue(result.out.endswith(settings_line), result.out)
            with self.subTest(args="--version", settings=with_settings):
                result = self.box.run("--version")
                self.assertEqual((result.code, result.out, result.err),
                                 (0, b"omvo-covering " + VERSION.encode() + b"\r\n", b""))
        self.assertEqual(os.listdir(self.box.path("kml")), ["omvo-covering.kml"])
        self.assertEqual(self.box.read("kml/omvo-covering.kml"), b"earlier run")

    def test_other_words_are_overlay_files(self):
        self.archive()
        words = ["./--help", "--HELP", "-help", "--version=1"] + ([] if WINDOWS else ["/?"])
        for word in words:
            with self.subTest(word=word):
                result = self.box.run(word)
                self.assertEqual(result.code, 0, result.err)
                self.assertIn(word.encode(), result.err)  # the missing overlay file
                self.assertTrue(self.box.read("kml/omvo-covering.kml").startswith(b"<?xml"))
        if WINDOWS:  # where "/?" asks for help, as it does of every Windows program
            self.box.write("kml/omvo-covering.kml", b"earlier run")
            result = self.box.run("/?")
            self.assertEqual((result.code, result.err), (0, b""))
            self.assertIn(cp866("  -h, --help, /?  эта справка"), result.out)
            self.assertEqual(self.box.read("kml/omvo-covering.kml"), b"earlier run")


class Settings(SandboxTest):
    def test_missing_settings_file(self):
        result = self.box.run()
        self.assertEqual(result.out, cp866("Отсутствует файл ") +
                         tool_path(self.box.ini).encode() + b"\r\n")
        self.assertEqual(result.code, 1)

    def test_incomplete_settings_file(self):
        self.box.write("omvo-covering.ini", "minspeed=3\r\nmincorner=12\r\nkmlpath=x/\r\n")
        result = self.box.run()
        self.assertEqual(result.out, cp866("файл ") + tool_path(self.box.ini).encode() +
                         cp866(" содержит не все данные!") + b"\r\n")
        self.assertEqual(result.code, 1)

    def test_number_that_cannot_be_read(self):
        self.box.settings(minspeed="3,5")
        result = self.box.run()
        self.assertEqual(result.out, b"")
        self.assertIn(b"minspeed=", result.err)
        self.assertIn(b"3,5", result.err)
        self.assertIn(tool_path(self.box.ini).encode(), result.err)
        self.assertEqual(result.code, 1)


class TripList(SandboxTest):
    def test_missing_trip_list_is_file_not_found(self):
        self.box.settings()
        result = self.box.run()
        self.assertEqual(result.out, b"")
        self.assertTrue(result.err.startswith(failure_report("File not found")), result.err)
        self.assertEqual(result.code, 1)
        self.assertEqual(os.listdir(self.box.path("kml")), [])

    def test_trip_list_without_accepted_record(self):
        self.box.settings()
        self.box.write("list.txt", cp1251(record("ab001", "Что посмотреть: озеро")))
        self.box.write("kml/omvo-covering.kml", b"earlier run")
        result = self.box.run()
        self.assertEqual(result.out, b"")
        self.assertIn(b"list.txt", result.err)
        self.assertEqual(result.code, 0)
        self.assertEqual(sorted(os.listdir(self.box.path("kml"))), ["omvo-covering.kml"])
        self.assertEqual(self.box.read("kml/omvo-covering.kml"), b"earlier run")


if __name__ == "__main__":
    unittest.main()
