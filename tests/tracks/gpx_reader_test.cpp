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
#include "support/utf16_bytes.hpp"
#include "tracks/detail/gpx_number.hpp"
#include "tracks/detail/gpx_time.hpp"

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

TrackStore Load(const std::string& gpx, const ReadOptions& options = {}) {
    omvo::test::TempDir dir;
    TrackStore store;
    LoadTrack(dir.Write("track.gpx", gpx), store, options);
    return store;
}

// The store and its warnings, with the file's path in them replaced by "F".
TrackStore Read(const std::string& gpx, const ReadOptions& options) {
    omvo::test::TempDir dir;
    TrackStore store;
    const std::string path = dir.Write("track.gpx", gpx);
    EXPECT_TRUE(ReadTrack(path, store, options));
    for (std::string& warning : store.warnings) {
        if (warning.starts_with(path)) warning.replace(0, path.size(), "F");
    }
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

// The map writes an elevation for every point; the figures take only a point's own.
TEST(GpxReader, MarksThePointsWithAnElevationOfTheirOwn) {
    const struct {
        const char* name;
        std::string gpx;
        std::vector<bool> own;
    } cases[] = {
        {"four lines a point, the second without one",
         "<trkpt lat=\"54.7\" lon=\"20.5\">\n<ele>12</ele>\n<time>T</time>\n</trkpt>\n"
         "<trkpt lat=\"54.71\" lon=\"20.5\">\n<time>T</time>\n</trkpt>\n"
         "<trkpt\n lat=\"54.72\"\n lon=\"20.5\">\n<ele>13</ele>\n</trkpt>\n",
         {true, false, true}},
        {"self-closing points take the last one read, not their own",
         "<trkpt lat=\"54.7\" lon=\"20.5\"/>\n"
         "<trkpt lat=\"54.71\" lon=\"20.5\"><ele>0</ele></trkpt>\n"
         "<trkpt lat=\"54.72\" lon=\"20.5\"/>\n",
         {false, true, false}},
        {"an elevation that is no number is none",
         "<trkpt lat=\"54.7\" lon=\"20.5\"><ele>.</ele></trkpt>\n"
         "<trkpt lat=\"54.71\" lon=\"20.5\"><ele>1.2.3</ele></trkpt>\n"
         "<trkpt lat=\"54.72\" lon=\"20.5\"><ele>abc</ele></trkpt>\n",
         {false, false, false}},
        {"a waypoint's elevation belongs to no track point",
         "<trkpt lat=\"54.7\" lon=\"20.5\"></trkpt><wpt lat=\"1\" lon=\"2\"><ele>5</ele></wpt>\n"
         "<trkpt lat=\"54.71\" lon=\"20.5\"></trkpt>\n",
         {false, false}},
        {"a second close stores the same point again, without its own",
         "<trkpt lat=\"54.7\" lon=\"20.5\"><ele>4</ele></trkpt>\n</trkpt>\n", {true, false}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const TrackStore store = Load(c.gpx);
        std::vector<bool> own;
        for (const TrackPoint& p : store.points) own.push_back(p.hasEle);
        EXPECT_EQ(own, c.own);
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

constexpr const char* kGpx11 = "http://www.topografix.com/GPX/1/1";

TEST(GpxReader, ReadsMarkersWithAPrefixBoundToTheGpxNamespace) {
    const std::string ns2 = std::string("<ns2:gpx xmlns:ns2=\"") + kGpx11 + "\">\n";
    const struct {
        const char* name;
        std::string gpx;
        std::vector<StoredPoint> points;
        int segments;
    } cases[] = {
        {"ns2: on every element, one element a line",
         ns2 + "<ns2:trk><ns2:trkseg>\n<ns2:trkpt lat=\"54.7\" lon=\"20.5\">\n"
               "<ns2:ele>12.0</ns2:ele>\n<ns2:time>2012-05-01T10:00:00Z</ns2:time>\n"
               "</ns2:trkpt>\n<ns2:trkpt lat=\"54.71\" lon=\"20.5\"/>\n"
               "</ns2:trkseg></ns2:trk>\n<ns2:trk>\n<ns2:trkpt lat=\"55.2\" lon=\"20.5\">"
               "<ns2:ele>3</ns2:ele></ns2:trkpt>\n</ns2:trk></ns2:gpx>\n",
         {{"54.7", "20.5", "12", "2012-05-01T10:00:00Z", true},
          {"54.71", "20.5", "12", "", false},
          {"55.2", "20.5", "3", "", true}},
         2},
        {"ns0: with single quotes and blanks around '=', the whole file on one line",
         "<ns0:gpx xmlns:ns0 = 'http://www.topografix.com/GPX/1/0'><ns0:trk><ns0:trkpt "
         "lat=\"54.7\" lon=\"20.5\"><ns0:ele>1</ns0:ele></ns0:trkpt><ns0:trkpt lat=\"54.71\" "
         "lon=\"20.5\"><ns0:time>2012-05-01T10:01:00Z</ns0:time></ns0:trkpt></ns0:trk>"
         "</ns0:gpx>",
         {{"54.7", "20.5", "1", "", true}, {"54.71", "20.5", "1", "2012-05-01T10:01:00Z", false}},
         1},
        {"gpx: beside a default namespace, plain and prefixed points mixed",
         std::string("<gpx:gpx xmlns=\"") + kGpx11 + "\" xmlns:gpx=\"" + kGpx11 + "\">\n" +
             "<gpx:trkpt lat=\"54.7\" lon=\"20.5\"><gpx:ele>1</gpx:ele></gpx:trkpt>\n"
             "<trkpt lat=\"54.71\" lon=\"20.5\"><ele>2</ele></trkpt>\n"
             "<gpx:trkpt lat=\"54.72\" lon=\"20.5\"><ele>3</ele></gpx:trkpt>\n",
         {{"54.7", "20.5", "1", "", true},
          {"54.71", "20.5", "2", "", false},
          {"54.72", "20.5", "3", "", false}},
         1},
        {"a prefix bound to another namespace is no GPX marker",
         ns2 + "<ns2:trk xmlns:gpxtpx=\"http://www.garmin.com/xmlschemas/TrackPointExtension/v1\">\n"
               "<ns2:trkpt lat=\"54.7\" lon=\"20.5\"><ns2:ele>5</ns2:ele><ns2:extensions>"
               "<gpxtpx:ele>99</gpxtpx:ele><gpxtpx:trkpt lat=\"1\" lon=\"2\"/></ns2:extensions>"
               "</ns2:trkpt>\n<gpxtpx:trk>\n<ns2:trkpt lat=\"54.71\" lon=\"20.5\"/>\n",
         {{"54.7", "20.5", "5", "", true}, {"54.71", "20.5", "5", "", false}},
         1},
        {"a prefix counts from the line of its binding on",
         "<a:trkpt lat=\"1\" lon=\"2\"/>\n<x xmlns:a=\"http://www.topografix.com/GPX/1/1\"/>\n"
         "<a:trkpt lat=\"54.7\" lon=\"20.5\"/>\n",
         {{"54.7", "20.5", "0", "", true}},
         1},
        {"a binding on the point's own line, over a start tag's lines",
         "<a:gpx\n xmlns:a=\"http://www.topografix.com/GPX/1/1\"><a:trkpt lat=\"54.7\"\n"
         " lon=\"20.5\"><a:ele>4</a:ele></a:trkpt>\n",
         {{"54.7", "20.5", "4", "", true}},
         1},
        {"a prefix bound again to another namespace no longer counts",
         ns2 + "<ns2:trkpt lat=\"54.7\" lon=\"20.5\"/>\n<x xmlns:ns2=\"urn:other\"/>\n"
               "<ns2:trkpt lat=\"54.71\" lon=\"20.5\"/>\n",
         {{"54.7", "20.5", "0", "", true}},
         1},
        {"an unbound prefix, a namespace of another version and a broken binding",
         "<q xmlns:b=\"http://www.topografix.com/GPX/1/2\" xmlns:c=http://www.topografix.com/"
         "GPX/1/1 xmlns:d=\"http://www.topografix.com/GPX/1/1'>\n"
         "<n:trkpt lat=\"1\" lon=\"2\"/><b:trkpt lat=\"1\" lon=\"2\"/><c:trkpt lat=\"1\" "
         "lon=\"2\"/>\n<d:trkpt lat=\"1\" lon=\"2\"/>\n",
         {},
         0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const TrackStore store = Load(c.gpx);
        ExpectPoints(store, c.points);
        EXPECT_EQ(store.segmentCount, c.segments);
    }
}

TEST(GpxReader, ReadsUtf16FilesByTheirByteOrderMark) {
    const std::u16string points =
        u"<?xml version=\"1.0\" encoding=\"utf-16\"?>\r\n<gpx><!-- Велопробег по Куршской косе -->\r\n"
        u"<trk><trkseg><trkpt lat=\"54.7\" lon=\"20.5\"><ele>12.0</ele>"
        u"<time>2012-05-01T10:00:00Z</time></trkpt>\r\n"
        u"<trkpt lat=\"54.71\" lon=\"20.5\"><name>Зеленоградск \U0001F6B2</name></trkpt>\r\n";
    // Broken text between digits stays between them: it must not join 54.7 and 2 to 54.72.
    const std::u16string broken = std::u16string(u"<trkpt lat=\"54.7") + char16_t(0xD800) +
                                  u"2\" lon=\"20.5\"/>\r\n<trkpt lat=\"54.73\" lon=\"20.5\"/>";
    // A file whose second point's surrogate pair straddles the first MiB of the file.
    std::u16string acrossBlocks = u"<trkpt lat=\"54.7\" lon=\"20.5\"/><!--";
    acrossBlocks.append((1024 * 1024 - 2) / 2 - 1 - acrossBlocks.size(), u'ж');
    acrossBlocks += u"\U0001F6B2--><trkpt lat=\"54.71\" lon=\"20.5\"/>";
    const std::vector<StoredPoint> twoPoints = {
        {"54.7", "20.5", "12", "2012-05-01T10:00:00Z", true}, {"54.71", "20.5", "12", "", false}};
    const struct {
        const char* name;
        std::string gpx;
        std::vector<StoredPoint> points;
    } cases[] = {
        {"little-endian", omvo::test::Utf16Bytes(points, false), twoPoints},
        {"big-endian", omvo::test::Utf16Bytes(points, true), twoPoints},
        {"an unpaired surrogate ends a number",
         omvo::test::Utf16Bytes(broken, false),
         {{"54.7", "20.5", "0", "", true}, {"54.73", "20.5", "0", "", false}}},
        {"a last odd byte", omvo::test::Utf16Bytes(points, true) + "<", twoPoints},
        {"a surrogate pair across the first MiB",
         omvo::test::Utf16Bytes(acrossBlocks, false),
         {{"54.7", "20.5", "0", "", true}, {"54.71", "20.5", "0", "", false}}},
        {"UTF-16 without its mark is read byte for byte and has no point",
         omvo::test::Utf16Bytes(points, false).substr(2), {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ExpectPoints(Load(c.gpx), c.points);
    }
}

TEST(GpxReader, MeasuresEveryIsoTimeWhenAsked) {
    constexpr std::int64_t k10h = 1335866400;  // 2012-05-01T10:00:00Z
    const struct {
        std::string text;
        TimeKind plain;  // without isotimes
        TimeKind iso;    // with it
        std::int64_t seconds;
        std::int32_t nanoseconds;
    } cases[] = {
        // 20 characters: as without the key, non-xsd forms and all.
        {"2012-05-01T10:00:00Z", TimeKind::Valid, TimeKind::Valid, k10h, 0},
        {"2012-05-01 10:00:00Z", TimeKind::Valid, TimeKind::Valid, k10h, 0},
        {"2012/05/01T10:00:00+", TimeKind::Valid, TimeKind::Valid, k10h, 0},
        {"2012-13-01T10:00:00Z", TimeKind::Invalid, TimeKind::Invalid, 0, 0},
        // Every other xsd:dateTime form.
        {"2012-05-01T10:00:00.000Z", TimeKind::None, TimeKind::Valid, k10h, 0},
        {"2012-05-01T10:00:00.5Z", TimeKind::None, TimeKind::Valid, k10h, 500000000},
        {"2012-05-01T10:00:21.250000", TimeKind::None, TimeKind::Valid, k10h + 21, 250000000},
        {"2012-05-01T10:00:00.1234567891Z", TimeKind::None, TimeKind::Valid, k10h, 123456789},
        {"2012-05-01T11:00:00.000+01:00", TimeKind::None, TimeKind::Valid, k10h, 0},
        {"2012-05-01T06:30:00-03:30", TimeKind::None, TimeKind::Valid, k10h, 0},
        {"2012-05-02T00:30:00+14:00", TimeKind::None, TimeKind::Valid, k10h + 1800, 0},
        {"2012-05-01T10:00:00", TimeKind::None, TimeKind::Valid, k10h, 0},
        {"2012-05-01T10:00:00+00:00", TimeKind::None, TimeKind::Valid, k10h, 0},
        {" \t2012-05-01T10:00:00Z ", TimeKind::None, TimeKind::Valid, k10h, 0},
        {"2012-05-01T00:30:00+01:00", TimeKind::None, TimeKind::Valid, k10h - 37800, 0},
        // The right shape, but no valid date, time or offset.
        {"2012-02-30T10:00:00.000Z", TimeKind::None, TimeKind::Invalid, 0, 0},
        {"2012-05-01T24:00:00+01:00", TimeKind::None, TimeKind::Invalid, 0, 0},
        {"2012-05-01T10:00:00+15:00", TimeKind::None, TimeKind::Invalid, 0, 0},
        {"2012-05-01T10:00:00+01:60", TimeKind::None, TimeKind::Invalid, 0, 0},
        // Other shapes are not measured.
        {"2012-05-01T10:00:00.Z", TimeKind::None, TimeKind::None, 0, 0},
        {"2012-05-01T10:00:00+0100", TimeKind::None, TimeKind::None, 0, 0},
        {"2012-05-01T10:00Z", TimeKind::None, TimeKind::None, 0, 0},
        {"12012-05-01T10:00:00Z", TimeKind::None, TimeKind::None, 0, 0},
        {"2012-05-01T10:00:00ZZ", TimeKind::None, TimeKind::None, 0, 0},
        {"2012-05-01T10:00:00 Z", TimeKind::None, TimeKind::None, 0, 0},
        {"2012-05-01", TimeKind::None, TimeKind::None, 0, 0},
        {"", TimeKind::None, TimeKind::None, 0, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE("time \"" + c.text + "\"");
        const std::string gpx = "<trkpt lat=\"54.7\" lon=\"20.5\"><time>" + c.text +
                                "</time></trkpt>\n<trkpt lat=\"54.7\" lon=\"20.5\">\n<time>" +
                                c.text + "\n</trkpt>\n";
        for (const bool iso : {false, true}) {
            const TrackStore store = Load(gpx, {.isoTimes = iso});
            ASSERT_EQ(store.pointCount(), 2u);
            for (const TrackPoint& point : store.points) {
                const TimeKind kind = iso ? c.iso : c.plain;
                EXPECT_EQ(point.timeKind, kind) << "isotimes " << iso;
                if (kind == TimeKind::Valid) {
                    EXPECT_EQ(point.seconds, c.seconds);
                    EXPECT_EQ(point.nanoseconds, c.nanoseconds);
                }
            }
        }
    }
}

// Two track segments of one track, the second starting `km` north of the end of the first.
std::string TwoSegments(double km, const std::string& lineEnd) {
    char lat[32];
    std::snprintf(lat, sizeof lat, "%.10f", 54.71 + km / 111.13486666666667);
    return "<trk><trkseg>" + lineEnd + "<trkpt lat=\"54.7\" lon=\"20.5\"/>" + lineEnd +
           "<trkpt lat=\"54.71\" lon=\"20.5\"/>" + lineEnd + "</trkseg>" + lineEnd +
           "<trkseg>" + lineEnd + "<trkpt lat=\"" + lat + "\" lon=\"20.5\"/>" + lineEnd +
           "<trkpt lat=\"54.9\" lon=\"20.5\"/>" + lineEnd + "</trkseg></trk>" + lineEnd;
}

TEST(GpxReader, StartsASegmentWhereATrackSegmentBeginsFiveKilometresAwayWhenAsked) {
    const struct {
        double km;
        bool cutGaps;
        int segments;
    } cases[] = {{4.9, false, 1}, {5.0, false, 1}, {300.0, false, 1},
                 {4.9, true, 1},  {4.999, true, 1}, {5.0, true, 2}, {300.0, true, 2}};
    for (const auto& c : cases) {
        for (const char* lineEnd : {"\n", "", "\r\n  "}) {
            SCOPED_TRACE(std::to_string(c.km) + " km, cutgaps " + std::to_string(c.cutGaps) +
                         ", line end \"" + lineEnd + "\"");
            const TrackStore store = Load(TwoSegments(c.km, lineEnd), {.cutGaps = c.cutGaps});
            ASSERT_EQ(store.pointCount(), 4u);
            EXPECT_EQ(store.segmentCount, c.segments);
            EXPECT_TRUE(store.points[0].segmentStart);
            EXPECT_EQ(store.points[2].segmentStart, c.segments == 2);
        }
    }
    // A prefixed segment counts the same; a segment within 5 km of the one before does not.
    const TrackStore store = Load(
        std::string("<g:gpx xmlns:g=\"") + kGpx11 + "\"><g:trk><g:trkseg>" +
            "<g:trkpt lat=\"54.7\" lon=\"20.5\"/></g:trkseg><g:trkseg><g:trkpt lat=\"54.71\" "
            "lon=\"20.5\"/></g:trkseg><g:trkseg><g:trkpt lat=\"55.2\" lon=\"20.5\"/>\n",
        {.cutGaps = true});
    ExpectPoints(store, {{"54.7", "20.5", "0", "", true},
                         {"54.71", "20.5", "0", "", false},
                         {"55.2", "20.5", "0", "", true}});
}

TEST(GpxReader, DrawsTheRouteOfAFileWithoutTrackPointsWhenAsked) {
    const std::string route =
        "<gpx>\n<rte><name>Plan</name>\n<rtept lat=\"54.7\" lon=\"20.5\"><ele>10</ele>"
        "<time>2012-05-01T10:00:00Z</time></rtept>\n<rtept lat=\"54.71\" lon=\"20.5\">\n"
        "<ele>11</ele>\n</rtept>\n</rte>\n<rte><rtept lat=\"55.2\" lon=\"20.5\"/><rtept "
        "lat=\"x\" lon=\"20.5\"/></rte>\n</gpx>\n";
    const std::vector<StoredPoint> routePoints = {
        {"54.7", "20.5", "10", "2012-05-01T10:00:00Z", true},
        {"54.71", "20.5", "11", "", false},
        {"55.2", "20.5", "11", "", true}};
    const std::string trackAndRoute =
        "<rte><rtept lat=\"1\" lon=\"2\"/></rte>\n<trk><trkpt lat=\"54.7\" lon=\"20.5\"/></trk>\n";
    const std::string prefixedRoute =
        std::string("<p:gpx xmlns:p=\"") + kGpx11 + "\"><p:rte><p:rtept lat=\"54.7\" " +
        "lon=\"20.5\"><p:ele>3</p:ele></p:rtept></p:rte></p:gpx>";
    const struct {
        const char* name;
        std::string gpx;
        bool routes;
        std::vector<StoredPoint> points;
        int segments;
        std::vector<std::string> warnings;
    } cases[] = {
        {"a route without the key", route, false, {}, 0,
         {"F: no track point; the trip adds no placemark"}},
        {"a route with the key, each route taken as a track", route, true, routePoints, 2,
         {"F, line 8: route point with an unreadable coordinate skipped",
          "F: no track point; its route points are drawn instead"}},
        {"a prefixed route", prefixedRoute, true, {{"54.7", "20.5", "3", "", true}}, 1,
         {"F: no track point; its route points are drawn instead"}},
        {"a file with track points keeps to them", trackAndRoute, true,
         {{"54.7", "20.5", "0", "", true}}, 1, {}},
        {"a file with neither", "<gpx>\n<wpt lat=\"54.7\" lon=\"20.5\"/>\n</gpx>\n", true, {}, 0,
         {"F: no track point; the trip adds no placemark"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const TrackStore store = Read(c.gpx, {.routes = c.routes});
        ExpectPoints(store, c.points);
        EXPECT_EQ(store.segmentCount, c.segments);
        EXPECT_EQ(store.warnings, c.warnings);
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
        // The packed text as the store keeps it values the same, straight from its codes.
        PackedNumber packed;
        packed.assign(c.text);
        double value = 7.0;
        ASSERT_EQ(packed.ValueOf(value), c.value.has_value());
        EXPECT_EQ(value, c.value.value_or(7.0));
    }
    for (const std::string text : {"999999999999999", "-.000000000001", "123456789.12345"}) {
        PackedNumber packed;
        packed.assign(text);
        double value = 0.0;
        ASSERT_TRUE(packed.ValueOf(value)) << text;
        EXPECT_EQ(value, ParseCoordinate(text).value()) << text;
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
