#include "tracks/gpx_reader.hpp"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "base/console.hpp"
#include "base/encoding.hpp"
#include "base/errors.hpp"
#include "support/console_capture.hpp"
#include "support/temp_dir.hpp"
#include "tracks/detail/gpx_number.hpp"

namespace omvo::tracks {
namespace {

using detail::IsNumberChar;
using detail::ParseCoordinate;
using detail::TrimTrailingZeros;

struct StoredPoint {
    std::string lat, lon, ele, time;
    bool segmentStart;
};

// Only the 20-character form is measured; these are the times of the tables.
void ExpectTime(const TrackPoint& point, const std::string& time) {
    const std::map<std::string, std::int64_t> seconds = {{"2012-05-01T10:00:00Z", 1335866400},
                                                         {"2012-05-01T10:01:00Z", 1335866460},
                                                         {"2020-12-18T06:15:50Z", 1608272150}};
    if (time.size() != 20) {
        EXPECT_EQ(point.timeKind, TimeKind::None) << time;
        return;
    }
    EXPECT_EQ(point.timeKind, TimeKind::Valid) << time;
    EXPECT_EQ(point.seconds, seconds.at(time));
}

void ExpectPoints(const TrackStore& store, const std::vector<StoredPoint>& expected) {
    ASSERT_EQ(store.pointCount(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        SCOPED_TRACE("point " + std::to_string(i));
        const TrackPoint& p = store.points[i];
        const StoredPoint& e = expected[i];
        EXPECT_EQ(p.lat.str(), e.lat);
        EXPECT_EQ(p.lon.str(), e.lon);
        EXPECT_EQ(p.ele.str(), e.ele);
        ExpectTime(p, e.time);
        EXPECT_EQ(p.segmentStart, e.segmentStart);
        EXPECT_TRUE(p.kept);
    }
}

TrackStore Load(const std::string& gpx) {
    omvo::test::TempDir dir;
    TrackStore store;
    LoadTrack(dir.Write("track.gpx", gpx), store);
    return store;
}

TEST(GpxReader, StoresPointsOfEveryLayout) {
    const struct {
        const char* name;
        std::string gpx;
        std::vector<StoredPoint> points;
        int segments;
    } cases[] = {
        {"one point per line",
         "<gpx><trk><trkseg>\n"
         "<trkpt lat=\"54.71\" lon=\"20.51\"><ele>12.0</ele><time>2012-05-01T10:00:00Z</time></trkpt>\n"
         "<trkpt lat=\"54.72\" lon=\"20.52\"><ele>13.5</ele><time>2012-05-01T10:01:00Z</time></trkpt>\n"
         "</trkseg></trk></gpx>\n",
         {{"54.71", "20.51", "12", "2012-05-01T10:00:00Z", true},
          {"54.72", "20.52", "13.5", "2012-05-01T10:01:00Z", false}},
         1},
        {"four lines per point",
         "<trk>\n  <trkseg>\n"
         "    <trkpt lat=\"54.700000\" lon=\"20.500\">\n      <ele>100</ele>\n"
         "      <time>2012-05-01T10:00:00Z</time>\n    </trkpt>\n"
         "    <trkpt lat=\"54.71\" lon=\"20.5\">\n      <ele>101.00</ele>\n    </trkpt>\n",
         {{"54.7", "20.5", "100", "2012-05-01T10:00:00Z", true},
          {"54.71", "20.5", "101", "", false}},
         1},
        {"self-closing points take the last elevation read, or 0",
         "<trkpt lat=\"54.7\" lon=\"20.5\" />\n"
         "<trkpt lat=\"54.71\" lon=\"20.5\"><ele>7.50</ele><time>T</time></trkpt>\n"
         "<trkpt lat=\"54.72\" lon=\"20.5\"/>\n",
         {{"54.7", "20.5", "0", "", true},
          {"54.71", "20.5", "7.5", "T", false},
          {"54.72", "20.5", "7.5", "", false}},
         1},
        {"values before the first point are not taken",
         "<metadata><time>2012-01-01T00:00:00Z</time></metadata>\n"
         "<wpt lat=\"1\" lon=\"2\"><ele>55</ele></wpt>\n<trk>\n"
         "<trkpt lat=\"54.7\" lon=\"20.5\"></trkpt>\n",
         {{"54.7", "20.5", "0", "", true}},
         1},
        {"longitude first and single quotes",
         "<trkpt lon='20.5' lat='54.7'><ele>1</ele></trkpt>\n"
         "<trkpt lat='54.71' lon=\"20.5\" ext:lat=\"9\"><ele>2</ele></trkpt>\n",
         {{"54.7", "20.5", "1", "", true}, {"54.71", "20.5", "2", "", false}},
         1},
        {"a whole file on one line with a second track far away",
         "<gpx><trk><trkseg><trkpt lat=\"54.7\" lon=\"20.5\"><ele>1</ele><time>A</time></trkpt>"
         "<trkpt lat=\"54.71\" lon=\"20.5\"><ele>2</ele></trkpt></trkseg></trk>"
         "<trk><trkseg><trkpt lat=\"55.2\" lon=\"20.5\"/></trkseg></trk></gpx>",
         {{"54.7", "20.5", "1", "A", true},
          {"54.71", "20.5", "2", "", false},
          {"55.2", "20.5", "2", "", true}},
         2},
        {"lone CR line ends make one line",
         "<trkpt lat=\"54.7\" lon=\"20.5\">\r<ele>3</ele>\r<time>\r2012-05-01T10:00:00Z</time>\r"
         "</trkpt>\r<trkpt lat=\"54.8\" lon=\"20.5\">\r</trkpt>\r",
         {{"54.7", "20.5", "3", "2012-05-01T10:00:00Z", true},
          {"54.8", "20.5", "3", "", false}},
         1},
        {"a closing tag and the next point on one line",
         "<trkpt lat=\"54.7\" lon=\"20.5\">\n<ele>1</ele>\n"
         "</trkpt><trkpt lat=\"54.71\" lon=\"20.5\">\n<ele>2</ele>\n</trkpt>\n",
         {{"54.7", "20.5", "1", "", true}, {"54.71", "20.5", "2", "", false}},
         1},
        {"signs, blanks and exponents as programs write them",
         "<trkpt lat=\"+54.7\" lon=\" \t20.5e0\"><ele>+5</ele></trkpt>\n"
         "<trkpt lat = \"54.7E-0\" lon=\"-9.0E-4\"><ele>1.2e3</ele></trkpt>\n"
         "<trkpt lat=\"5.471E1\" lon=\"1.1E-4\"><ele>1.2.3e3</ele></trkpt>\n"
         "<trkpt lat=\"54.7 \" lon=\"20.5e\"><ele>1e999</ele></trkpt>\n",
         {{"54.7", "20.5", "5", "", true},
          {"54.7", "-0.0009", "1200", "", false},
          {"54.71", "0.00011", "0", "", false},
          {"54.7", "20.5", "0", "", false}},
         1},
        {"start tags over several lines",
         "<trkpt\n lat=\"54.7\"\n lon=\"20.5\"><ele>3</ele><time>A</time>\n</trkpt>\n"
         "<trkpt lat=\"54.71\"\n lon=\"20.5\"\n/>\n"
         "<trkpt lat=\"54.72\"\n lon=\"20.5\"/><trkpt lat=\"54.73\"\n lon=\"20.5\"/>\n"
         "<trkpt lat=\"54.74\"\n <ele>9</ele>\n</trkpt>\n",
         {{"54.7", "20.5", "3", "A", true},
          {"54.71", "20.5", "3", "", false},
          {"54.72", "20.5", "3", "", false},
          {"54.73", "20.5", "3", "", false}},
         1},
        {"a point ends at its own tag or its closing tag, nowhere else",
         "<trkpt lat=\"54.7\" lon=\"20.5\"><sym/><ele>1</ele></trkpt>"
         "<wpt lat=\"1\" lon=\"2\"><ele>5</ele><time>W</time></wpt>\n"
         "<trkpt lat=\"54.71\" lon=\"20.5\"></trkpt>\n",
         {{"54.7", "20.5", "1", "", true}, {"54.71", "20.5", "5", "", false}},
         1},
        {"trailing zeros trimmed, long texts cut",
         "<trkpt lat=\"54.000\" lon=\"20.50\"><ele>.</ele></trkpt>\n"
         "<trkpt lat=\"54.123456789012345\" lon=\"20.5\"><ele>100</ele>"
         "<time>2012-05-01T10:00:00.123Z</time></trkpt>\n",
         {{"54", "20.5", "0", "", true},
          {"54.123456789012", "20.5", "100", "2012-05-01T10:00:00.123", false}},
         1},
        {"a time without a following tag runs to the line end",
         "<trkpt lat=\"54.7\" lon=\"20.5\"><time>2012-05-01T10:00:00Z\n</trkpt>\n",
         {{"54.7", "20.5", "0", "2012-05-01T10:00:00Z", true}},
         1},
        {"a jump inside one track starts no segment",
         "<trk><trkseg>\n<trkpt lat=\"54.7\" lon=\"20.5\"/>\n</trkseg><trkseg>\n"
         "<trkpt lat=\"55.2\" lon=\"21.5\"/>\n</trkseg></trk>\n",
         {{"54.7", "20.5", "0", "", true}, {"55.2", "21.5", "0", "", false}},
         1},
        {"no track point", "<gpx>\n<wpt lat=\"54.7\" lon=\"20.5\"/>\n</gpx>\n", {}, 0},
        {"empty file", "", {}, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const TrackStore store = Load(c.gpx);
        ExpectPoints(store, c.points);
        EXPECT_EQ(store.segmentCount, c.segments);
    }
}

// A file of two tracks, the second starting `km` north of the end of the first.
std::string TwoTracks(double km) {
    char lat[32];
    std::snprintf(lat, sizeof lat, "%.10f", 54.71 + km / 111.13486666666667);
    return std::string("<trk>\n<trkpt lat=\"54.7\" lon=\"20.5\"/>\n") +
           "<trkpt lat=\"54.71\" lon=\"20.5\"/>\n</trk>\n<trk>\n<trkpt lat=\"" + lat +
           "\" lon=\"20.5\"/>\n<trkpt lat=\"54.9\" lon=\"20.5\"/>\n</trk>\n";
}

TEST(GpxReader, StartsASegmentWhereANewTrackBeginsFiveKilometresAway) {
    const struct {
        double km;
        int segments;
    } cases[] = {{0.0, 1}, {4.9, 1}, {4.999, 1}, {5.001, 2}, {7.0, 2}, {300.0, 2}};
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.km) + " km");
        const TrackStore store = Load(TwoTracks(c.km));
        ASSERT_EQ(store.pointCount(), 4u);
        EXPECT_EQ(store.segmentCount, c.segments);
        EXPECT_EQ(store.points[2].segmentStart, c.segments == 2);
        EXPECT_TRUE(store.points[0].segmentStart);
    }
}

TEST(GpxReader, SetsTheFarFlagWhenAPointLeavesTheHomeRegion) {
    const struct {
        const char* name;
        std::string gpx;
        bool far;
    } cases[] = {
        {"all inside", "<trkpt lat=\"54.7\" lon=\"20.5\"/>\n<trkpt lat=\"54.8\" lon=\"20.6\"/>\n",
         false},
        {"one outside among many",
         "<trkpt lat=\"54.7\" lon=\"20.5\"/>\n<trkpt lat=\"55.4\" lon=\"20.5\"/>\n"
         "<trkpt lat=\"54.8\" lon=\"20.6\"/>\n",
         true},
        {"inside an exclusion rectangle", "<trkpt lat=\"55.282\" lon=\"20.965\"/>\n", true},
        {"no point", "<gpx/>\n", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(Load(c.gpx).far, c.far);
    }
}

TEST(GpxReader, SkipsPointsWithUnreadableCoordinatesWithAWarning) {
    omvo::test::TempDir dir;
    const std::string path = dir.Write(
        "bad.gpx",
        "<trk>\n"
        "<trkpt lat=\"1.2.3\" lon=\"20.5\"></trkpt>\n"
        "<trkpt lat=\"54.7\" lon=\"20.5\"></trkpt>\n"
        "<trkpt lat=\"-\" lon=\"20.5\"/>\n"
        "<trk>\n"
        "<trkpt lat=\"54.7\" lon=\"2-0\"/>\n"
        "<trkpt lat=\"54.8\" lon=\"20.5\"/>\n");
    TrackStore store;
    ::testing::internal::CaptureStderr();
    LoadTrack(path, store);
    const std::string warnings = ::testing::internal::GetCapturedStderr();
    ExpectPoints(store, {{"54.7", "20.5", "0", "", true}, {"54.8", "20.5", "0", "", true}});
    EXPECT_EQ(store.segmentCount, 2);
    for (const char* line : {", line 2:", ", line 4:", ", line 6:"}) {
        EXPECT_NE(warnings.find(path + line), std::string::npos) << line << "\n" << warnings;
    }
    EXPECT_EQ(warnings.find(", line 3:"), std::string::npos);
}

TEST(GpxReader, StopsTheRunWhenTheFileIsMissing) {
    omvo::test::TempDir dir;
    const std::string path = dir.File("nosuch.gpx");
    TrackStore store;
    omvo::test::CaptureStdout();
    int exitCode = -1;
    try {
        LoadTrack(path, store);
    } catch (const base::RunStop& stop) {
        exitCode = stop.exitCode;
    }
    const std::string out = omvo::test::GetCapturedStdout();
    EXPECT_EQ(exitCode, 1);
    EXPECT_EQ(out, base::Utf8ToCp866("Файл ") + path + base::Utf8ToCp866(" не найден!") + "\r\n");
}

TEST(GpxReader, RefillsTheStoreForEveryTrack) {
    std::string longTrack = "<trk>\n";
    for (int i = 0; i < 1000; ++i) {
        longTrack += "<trkpt lat=\"54." + std::to_string(100000 + i) + "\" lon=\"20.5\"/>\n";
    }
    omvo::test::TempDir dir;
    TrackStore store;
    LoadTrack(dir.Write("long.gpx", longTrack), store);
    EXPECT_EQ(store.pointCount(), 1000u);
    LoadTrack(dir.Write("short.gpx", "<trkpt lat=\"54.7\" lon=\"20.5\"/>\n"), store);
    ExpectPoints(store, {{"54.7", "20.5", "0", "", true}});
    EXPECT_EQ(store.segmentCount, 1);
    EXPECT_EQ(store.path, dir.File("short.gpx"));
}

// Lines, start tags over several lines and a Ctrl-Z cut fall on every place of the blocks
// the file is read in.
TEST(GpxReader, ReadsPointsAcrossTheBlocksOfALongFile) {
    std::string gpx = "<gpx><trk><trkseg>\r\n";
    std::vector<StoredPoint> expected;
    for (int i = 0; gpx.size() < 3 * 1024 * 1024; ++i) {
        const std::string lat = "54." + std::to_string(100000 + i % 800000) + "7";
        const std::string ele = std::to_string(i % 500);
        switch (i % 4) {
            case 0:
                gpx += "<trkpt lat=\"" + lat + "\" lon=\"20.5\"><ele>" + ele + "</ele></trkpt>\r\n";
                break;
            case 1:
                gpx += "  <trkpt lat=\"" + lat + "\"\r\n    lon=\"20.5\">\r\n    <ele>" + ele +
                       "</ele>\r\n  </trkpt>\r\n";
                break;
            case 2:
                gpx += "<trkpt lat=\"" + lat + "\" lon=\"20.5\"><ele>" + ele + "\x1A" "9</ele>\n</trkpt>\n";
                break;
            default:
                gpx += "<trkpt lat=\"" + lat + "\"\r\n lon=\"20.5\"\n/>\n";
                expected.push_back({lat, "20.5", expected.back().ele, "", false});
                continue;
        }
        expected.push_back({lat, "20.5", ele, "", expected.empty()});
    }
    const TrackStore store = Load(gpx);
    ExpectPoints(store, expected);
    EXPECT_TRUE(store.warnings.empty());
}

TEST(GpxReader, LoadsFilesOfRealDevices) {
    const struct {
        const char* file;
        int points;
        int segments;
        int timedPoints;
        StoredPoint first;
    } cases[] = {
        {"garmin-etrex20x-single-line.gpx", 104, 1, 104,
         {"45.273518851", "13.7142099626", "211.15", "2020-12-18T06:15:50Z", true}},
        {"israelhikingmap-bom-single-quotes-one-line.gpx", 4, 2, 0, {"3", "4", "5", "", true}},
        // One point has its attributes on two lines; longitudes such as -9.0E-4, which
        // read as -9 would start a fourth segment.
        {"jpx-issue151-split-attrs-10trk.gpx", 1140, 3, 0,
         {"52.53394", "0.07598", "0", "", true}},
        {"garmin-mapsource-crlf-selfclosing.gpx", 588, 1, 4,
         {"52.154679978266", "5.3906200267374", "0", "", true}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        TrackStore store;
        LoadTrack(std::string(OMVO_TEST_DATA) + "/tracks/" + c.file, store);
        ASSERT_EQ(store.pointCount(), c.points);
        EXPECT_EQ(store.segmentCount, c.segments);
        int timed = 0;
        for (const TrackPoint& p : store.points) timed += p.timeKind == TimeKind::Valid ? 1 : 0;
        EXPECT_EQ(timed, c.timedPoints);
        EXPECT_EQ(store.points[0].lat.str(), c.first.lat);
        EXPECT_EQ(store.points[0].lon.str(), c.first.lon);
        EXPECT_EQ(store.points[0].ele.str(), c.first.ele);
        ExpectTime(store.points[0], c.first.time);
        EXPECT_TRUE(store.far);
    }
}

TEST(Coordinate, ParsesSignedDecimalTextsOnly) {
    const struct {
        std::string text;
        std::optional<double> value;
    } cases[] = {
        {"54.7", 54.7},      {"-0.5", -0.5},        {"54", 54.0},          {".5", 0.5},
        {"5.", 5.0},         {".", 0.0},            {"-.5", -0.5},         {"-0", 0.0},
        {"20.512345678901", 20.512345678901},
        {"", std::nullopt},  {"-", std::nullopt},   {"1.2.3", std::nullopt},
        {"5-4", std::nullopt}, {"--1", std::nullopt}, {"+5", std::nullopt},
        {"1e5", std::nullopt}, {" 5", std::nullopt}, {"5 ", std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE("text: \"" + c.text + "\"");
        const std::optional<double> got = ParseCoordinate(c.text);
        ASSERT_EQ(got.has_value(), c.value.has_value());
        if (c.value) {
            EXPECT_DOUBLE_EQ(*got, *c.value);
        }
    }
}

TEST(GpxReader, TrimsTrailingZerosAfterAPoint) {
    const struct {
        std::string text, trimmed;
    } cases[] = {
        {"54.700000", "54.7"}, {"54.000", "54"}, {"12.50", "12.5"}, {"100", "100"},
        {"-0.0", "-0"},        {".", ""},        {"100.0", "100"},  {"0.0", "0"},
        {"", ""},              {"1.2.30", "1.2.3"}, {"0", "0"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(TrimTrailingZeros(c.text), c.trimmed) << c.text;
    }
}

TEST(GpxReader, TakesOnlyDigitsPointAndMinusAsNumberCharacters) {
    for (char c : std::string("0123456789.-")) EXPECT_TRUE(IsNumberChar(c)) << c;
    for (char c : std::string("+ eE,aZ\"'<")) EXPECT_FALSE(IsNumberChar(c)) << c;
}

}  // namespace
}  // namespace omvo::tracks
