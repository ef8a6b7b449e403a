#include "tracks/detail/gpx_scanner.hpp"

#include <gtest/gtest.h>

#include <string>

#include "tracks/gpx_reader.hpp"

namespace omvo::tracks::detail {
namespace {

// The marker of a tag text, read once as the last bytes of its line (the names read to that
// end) and once followed by a line end and more text (read a word at a time while no prefix
// is bound).
void ExpectMarker(const MarkerNames& names, const std::string& tag, Marker marker) {
    const std::string alone = tag;
    EXPECT_EQ(names.Match(alone.data(), alone.data() + alone.size()).marker, marker) << tag;
    const std::string followed = tag + "\r\n<ele>12</ele>";
    EXPECT_EQ(names.Match(followed.data(), followed.data() + followed.size()).marker, marker)
        << tag;
}

TEST(MarkerNames, MatchesTheMarkersByTheirExactTagNames) {
    const struct {
        const char* tag;
        Marker plain;   // with no prefix bound
        Marker bound;   // with "g" bound to the GPX namespace
    } cases[] = {
        {"<trk>", Marker::Track, Marker::Track},
        {"<trkpt lat=\"1\"", Marker::PointOpen, Marker::PointOpen},
        {"<trkpt", Marker::PointOpen, Marker::PointOpen},
        {"<trkptx", Marker::PointOpen, Marker::PointOpen},
        {"</trkpt>", Marker::PointClose, Marker::PointClose},
        {"<ele>", Marker::Elevation, Marker::Elevation},
        {"<time>", Marker::Time, Marker::Time},
        {"<trkseg>", Marker::None, Marker::None},
        {"<trk x>", Marker::None, Marker::None},
        {"<trk", Marker::None, Marker::None},
        {"</trkpt", Marker::None, Marker::None},
        {"<Ele>", Marker::None, Marker::None},
        {"<elevation>", Marker::None, Marker::None},
        {"</ele>", Marker::None, Marker::None},
        {"<", Marker::None, Marker::None},
        {"<g:trkpt lat=\"1\"", Marker::None, Marker::PointOpen},
        {"</g:trkpt>", Marker::None, Marker::PointClose},
        {"<g:ele>", Marker::None, Marker::Elevation},
        {"<h:ele>", Marker::None, Marker::None},
        {"<g:>", Marker::None, Marker::None},
    };
    const ReadOptions options;
    MarkerNames plain(kTrackElements, options.cutGaps);
    MarkerNames bound(kTrackElements, options.cutGaps);
    bound.ReadBindings("<gpx xmlns:g=\"http://www.topografix.com/GPX/1/1\">");
    for (const auto& c : cases) {
        ExpectMarker(plain, c.tag, c.plain);
        ExpectMarker(bound, c.tag, c.bound);
    }
}

TEST(MarkerNames, TakesTheElementsOfTracksOrRoutesWithTheirLengths) {
    const struct {
        const char* tag;
        bool cutGaps;
        const PointElements& elements;
        Marker marker;
        std::size_t length;
    } cases[] = {
        {"<trkseg>", false, kTrackElements, Marker::None, 0},
        {"<trkseg>", true, kTrackElements, Marker::Track, 8},
        {"<rte>", false, kTrackElements, Marker::None, 0},
        {"<rte>", false, kRouteElements, Marker::Track, 5},
        {"<rtept lat=\"1\"", false, kRouteElements, Marker::PointOpen, 6},
        {"</rtept>", false, kRouteElements, Marker::PointClose, 8},
        {"<trkpt lat=\"1\"", false, kRouteElements, Marker::None, 0},
        {"<trkseg>", true, kRouteElements, Marker::None, 0},
        {"<ele>1</ele>", false, kRouteElements, Marker::Elevation, 5},
        {"<time>T</time>", true, kTrackElements, Marker::Time, 6},
    };
    for (const auto& c : cases) {
        const MarkerNames names(c.elements, c.cutGaps);
        const std::string text = std::string(c.tag) + "\r\n";
        const MarkerMatch match = names.Match(text.data(), text.data() + text.size());
        EXPECT_EQ(match.marker, c.marker) << c.tag;
        EXPECT_EQ(match.length, c.length) << c.tag;
    }
}

}  // namespace
}  // namespace omvo::tracks::detail
