#include "kml/overlay_placemarks.hpp"

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "overlays/overlay_test_support.hpp"
#include "support/temp_dir.hpp"

namespace omvo::kml {
namespace {

using namespace omvo::test;

// The placemark of an overlay file, as the run makes it; empty when the file adds none.
std::string MakeOverlayPlacemark(const std::string& path) {
    const std::optional<overlays::Overlay> overlay = overlays::ReadOverlay(path);
    return overlay ? kml::MakeOverlayPlacemark(*overlay) : std::string();
}

// The nine lines of an overlay placemark.
std::string Placemark(const std::string& name, const std::string& descr, const std::string& style,
                      const std::string& coordinates) {
    return "<Placemark>\r\n<name>" + name + "</name>\r\n<description><![CDATA[" + descr +
           "]]></description>\r\n<styleUrl>#" + style +
           "</styleUrl>\r\n<LineString>\r\n<tessellate>1</tessellate>\r\n<coordinates>" +
           coordinates + "</coordinates>\r\n</LineString>\r\n</Placemark>\r\n";
}

TEST(MakeOverlayPlacemark, BuildsTheNineLinesFromTheOverlayAndItsSource) {
    TempDir dir;
    // Name "Озеро №1" and description "Вокруг" in CP1251.
    const std::string path = dir.Write(
        "lake.txt", "name=\xCE\xE7\xE5\xF0\xEE \xB9" "1\r\ndescr=\xC2\xEE\xEA\xF0\xF3\xE3\r\n"
                    "style=sn_great_voyage\r\nfile=" + kRoute + "\r\n");
    std::string got;
    const Console console = Capture([&] { got = MakeOverlayPlacemark(path); });
    EXPECT_EQ(got, Placemark("Озеро №1", "Вокруг", "sn_great_voyage", kRouteCoordinates));
    EXPECT_EQ(console.out, LoadingLine(kRoute, 2));
    EXPECT_EQ(console.err, "");
}

TEST(MakeOverlayPlacemark, KeepsEveryDocumentWellFormed) {
    TempDir dir;
    const std::string source =
        dir.Write("source.kml", "<coordinates>1,2&amp;3 <x>\xFF" "4,5</coordinates>\n");
    const std::string path =
        dir.Write("overlay.txt", "name=R&D <1>\ndescr=a]]>b\nstyle=sn_brevet\xFF\x01\nfile=" +
                                     source + "\n");
    std::string got;
    Capture([&] { got = MakeOverlayPlacemark(path); });
    EXPECT_EQ(got, Placemark("R&amp;D &lt;1&gt;", "a]]]]><![CDATA[>b", "sn_brevet",
                             "1,2&amp;3 &lt;x&gt;4,5 "));
}

TEST(MakeOverlayPlacemark, WritesAnEmptyLineForAMissingSourceOrAFolder) {
    TempDir dir;
    std::filesystem::create_directory(dir.File("folder.kml"));
    for (const std::string& source : {dir.File("gone.kml"), dir.File("folder.kml")}) {
        SCOPED_TRACE(source);
        const std::string path = dir.Write(
            "overlay.txt", "name=N\ndescr=D\nstyle=sn_day_trip\nfile=" + source + "\n");
        std::string got;
        const Console console = Capture([&] { got = MakeOverlayPlacemark(path); });
        EXPECT_EQ(got, Placemark("N", "D", "sn_day_trip", ""));
        EXPECT_EQ(console.out, "");
        EXPECT_NE(console.err.find(source + " of overlay file " + path + " does not exist"),
                  std::string::npos)
            << console.err;
    }
}

TEST(MakeOverlayPlacemark, AddsNothingButAWarningForAMissingOrIncompleteFile) {
    TempDir dir;
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"missing", dir.File("missing.txt")},
        {"incomplete", dir.Write("no-name.txt", "name=\ndescr=D\nstyle=s\nfile=" + kRoute + "\n")},
        {"empty", dir.Write("empty.txt", "")},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.first);
        const std::string& path = c.second;
        std::string got = "old";
        const Console console = Capture([&] { got = MakeOverlayPlacemark(path); });
        EXPECT_EQ(got, "");
        EXPECT_EQ(console.out, "");  // the coordinates source is not read
        EXPECT_NE(console.err.find(path), std::string::npos) << console.err;
    }
}

TEST(MakeOverlayPlacemark, GivesTheSamePlacemarkForTheSameFileTwice) {
    TempDir dir;
    const std::string path =
        dir.Write("overlay.txt", "name=N\ndescr=D\nstyle=sn_day_trip\nfile=" + kRoute + "\n");
    std::string first, second;
    const Console console = Capture([&] {
        first = MakeOverlayPlacemark(path);
        second = MakeOverlayPlacemark(path);
    });
    EXPECT_EQ(first, second);
    EXPECT_EQ(console.out, LoadingLine(kRoute, 2) + LoadingLine(kRoute, 2));
}

}  // namespace
}  // namespace omvo::kml
