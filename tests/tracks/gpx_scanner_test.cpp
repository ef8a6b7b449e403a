#include "tracks/detail/gpx_scanner.hpp"

#include <gtest/gtest.h>

#include <string>

namespace omvo::tracks::detail {
namespace {

// The marker of a tag text, read once as the last bytes of its line (the names read to that
// end) and once followed by a line end and more text (read a word at a time).
void ExpectMarker(const MarkerNames& names, const std::string& tag, Marker marker) {
    const std::string alone = tag;
    EXPECT_EQ(names.Match(alone.data(), alone.data() + alone.size()), marker) << tag;
    const std::string followed = tag + "\r\n<ele>12</ele>";
    EXPECT_EQ(names.Match(followed.data(), followed.data() + followed.size()), marker) << tag;
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
    MarkerNames plain;
    MarkerNames bound;
    bound.BindPrefix("g");
    for (const auto& c : cases) {
        ExpectMarker(plain, c.tag, c.plain);
        ExpectMarker(bound, c.tag, c.bound);
    }
}

}  // namespace
}  // namespace omvo::tracks::detail
