#include "tracks/thinning.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "tracks/geodesy.hpp"
#include "tracks/detail/gpx_time.hpp"
#include "tracks/store_builder.hpp"

namespace omvo::tracks {
namespace {

using test::AddPoint;
using test::AddPointAt;

// The labels of the points left in the store, in order.
std::vector<std::string> Labels(const TrackStore& store) {
    std::vector<std::string> labels;
    for (const TrackPoint& p : store.points) labels.push_back(p.ele.str());
    return labels;
}

// A track of legs with the given headings (degrees clockwise from north, on the degree
// grid), points labelled 1, 2, ... in their elevation; a segment starts at each point named in `starts`.
TrackStore Path(const std::vector<double>& headings, const std::vector<int>& starts = {}) {
    TrackStore store;
    double lat = 54.7, lon = 20.5;
    auto add = [&](int n) {
        bool start = false;
        for (int s : starts) start = start || s == n;
        AddPointAt(store, lat, lon, std::to_string(n), "", start);
    };
    add(1);
    for (std::size_t k = 0; k < headings.size(); ++k) {
        const double h = headings[k] * 3.14159265358979323846 / 180.0;
        lat += 0.01 * std::cos(h);
        lon += 0.01 * std::sin(h);
        add(static_cast<int>(k) + 2);
    }
    return store;
}

std::vector<std::string> P(std::initializer_list<int> numbers) {
    std::vector<std::string> labels;
    for (int n : numbers) labels.push_back(std::to_string(n));
    return labels;
}

TEST(CornerFilter, KeepsCornersAloneOrAccumulated) {
    const struct {
        const char* name;
        std::vector<double> headings;
        std::vector<int> starts;
        double mincorner;
        std::vector<std::string> kept;
    } cases[] = {
        {"a sharp corner of 40 degrees", {0, 0, 0, 40, 40, 40}, {}, 15, P({1, 4, 7})},
        {"a sharp corner resets the accumulated turn", {0, 10, 10, 50, 60, 60}, {}, 15,
         P({1, 4, 7})},
        {"a gentle curve of 6 degrees keeps every third point",
         {0, 6, 12, 18, 24, 30, 36, 42, 48, 54}, {}, 15, P({1, 4, 7, 10, 11})},
        {"small turns of alternating sign cancel", {0, 10, 0, 10, 0, 10}, {}, 15, P({1, 7})},
        {"a straight run keeps only its ends", {30, 30, 30, 30, 30}, {}, 15, P({1, 6})},
        {"segment starts are always kept", {30, 30, 30, 30, 30}, {4}, 15, P({1, 4, 6})},
        {"a minimum corner of 0 keeps every point", {30, 30, 30}, {}, 0, P({1, 2, 3, 4})},
        {"two points", {0}, {}, 15, P({1, 2})},
        {"one point", {}, {}, 15, P({1})},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TrackStore store = Path(c.headings, c.starts);
        const int segments = store.segmentCount;
        ThinTrack(store, 0.0, c.mincorner);
        EXPECT_EQ(Labels(store), c.kept);
        EXPECT_EQ(store.segmentCount, segments);
        for (const TrackPoint& p : store.points) EXPECT_TRUE(p.kept);
    }
}

// Points 1 km apart going north; point k gets the time of minute minutes[k - 1].
TrackStore TimedRun(const std::vector<int>& minutes, const std::vector<int>& starts = {}) {
    TrackStore store;
    for (std::size_t k = 0; k < minutes.size(); ++k) {
        const int n = static_cast<int>(k) + 1;
        char time[32];
        std::snprintf(time, sizeof time, "2012-05-01T%02d:%02d:00Z", 10 + minutes[k] / 60,
                      minutes[k] % 60);
        bool start = false;
        for (int s : starts) start = start || s == n;
        AddPointAt(store, 54.7 + k / 111.13486666666667, 20.5, std::to_string(n), time,
                   start);
    }
    return store;
}

TEST(SpeedFilter, DropsPointsReachedTooSlowly) {
    const struct {
        const char* name;
        std::vector<int> minutes;
        std::vector<int> starts;
        double minspeed;
        std::vector<std::string> kept;
    } cases[] = {
        // 10 km/h, 2 km/h, 10 km/h, 2 km/h: the speed comes from the point just before,
        // dropped or not.
        {"slow legs dropped", {0, 6, 36, 42, 72, 78}, {}, 5, P({1, 2, 4, 6})},
        {"ends never judged", {0, 30, 36, 66}, {}, 5, P({1, 3, 4})},
        {"a slow segment start survives", {0, 6, 36, 42}, {3}, 5, P({1, 2, 3, 4})},
        {"a minimum speed of 0 keeps every point", {0, 60, 120, 180}, {}, 0,
         P({1, 2, 3, 4})},
        {"equal or backward times are not measurable", {0, 0, 60, 30, 40}, {}, 9999,
         P({1, 2, 4, 5})},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TrackStore store = TimedRun(c.minutes, c.starts);
        ThinTrack(store, c.minspeed, 0.0);
        EXPECT_EQ(Labels(store), c.kept);
    }
}

TEST(SpeedFilter, KeepsAPointWhoseSpeedEqualsTheMinimum) {
    TrackStore store = TimedRun({0, 6, 12});
    const double speed = PointSpeedKmh(store.points[0], store.points[1]);
    EXPECT_FALSE(SpeedFilter(store, speed));
    EXPECT_TRUE(store.points[1].kept);
    SpeedFilter(store, std::nextafter(speed, 1e9));
    EXPECT_FALSE(store.points[1].kept);
    EXPECT_TRUE(store.points[0].kept);
    EXPECT_TRUE(store.points[2].kept);
}

// Whether the middle of three points survives the corner filter.
bool MiddleKept(const char* const (&lat)[3], const char* const (&lon)[3], double mincorner) {
    TrackStore store;
    for (int k = 0; k < 3; ++k) AddPoint(store, lat[k], lon[k]);
    CornerFilter(store, mincorner);
    return store.points[1].kept;
}

TEST(CornerFilter, MeasuresATurnAsTheChangeOfLegOrientation) {
    // The turn at the middle point is the change of orientation between its legs, not of
    // the direction of travel: turning back is no corner, north to north-west is 135.
    const struct {
        const char* name;
        const char* lat[3];
        const char* lon[3];
        double turn;  // its size; the sign only tells small turns apart as they add up
    } cases[] = {
        {"north then east", {"54", "55", "55"}, {"20", "20", "21"}, 90.0},
        {"east then north", {"54", "54", "55"}, {"20", "21", "21"}, 90.0},
        {"north then back south", {"54", "55", "54"}, {"20", "20", "20"}, 0.0},
        {"north then north-west", {"54", "55", "56"}, {"20", "20", "19"}, 135.0},
        {"north-west then north", {"54", "55", "56"}, {"20", "19", "19"}, 135.0},
        {"straight on", {"54", "55", "56"}, {"20", "20.5", "21"}, 0.0},
        {"standing still then north", {"54", "54", "55"}, {"20", "20", "20"}, 0.0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_TRUE(MiddleKept(c.lat, c.lon, c.turn - 1e-9));
        EXPECT_FALSE(MiddleKept(c.lat, c.lon, c.turn + 1e-9));
    }
}

TEST(CornerFilter, CountsATurnEqualToTheMinimumCorner) {
    // North then east turns by exactly 90 degrees.
    const char* const lat[3] = {"54", "55", "55"};
    const char* const lon[3] = {"20", "20", "21"};
    EXPECT_TRUE(MiddleKept(lat, lon, 90.0));
    EXPECT_FALSE(MiddleKept(lat, lon, std::nextafter(90.0, 1e9)));
}

TEST(SpeedFilter, KeepsEveryPointOfATrackWithoutTimes) {
    TrackStore store = Path({0, 0, 0, 0});
    ThinTrack(store, 9999.0, 0.0);
    EXPECT_EQ(store.pointCount(), 5u);
}

TEST(ThinTrack, WarnsOnceForInvalidTimesAndKeepsThosePoints) {
    // Point 5 is reached at 2 km/h; points 2, 3 and 6 have or follow an invalid time.
    TrackStore store = TimedRun({0, 6, 36, 42, 72, 78, 84});
    store.path = "gpx/abcdetr.gpx";
    store.points[1].SetTime(detail::TimeReader().Read("2012-13-01T10:06:00Z", false));
    store.points[5].SetTime(detail::TimeReader().Read("2012-02-30T11:18:00Z", false));
    ::testing::internal::CaptureStderr();
    ThinTrack(store, 5.0, 0.0);
    const std::string warnings = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(Labels(store), P({1, 2, 3, 4, 6, 7}));
    EXPECT_NE(warnings.find("gpx/abcdetr.gpx"), std::string::npos) << warnings;
    EXPECT_EQ(warnings.find("warning"), warnings.rfind("warning")) << warnings;
}

TEST(CompactPoints, RemovesUnkeptPointsButNeverASegmentStart) {
    TrackStore store = Path({0, 0, 0, 0, 0, 0}, {3});
    const bool kept[] = {true, false, false, true, false, true, true};
    for (std::size_t i = 0; i < 7; ++i) store.points[i].kept = kept[i];
    const double p3Lat = store.points[2].latValue;
    CompactPoints(store);
    EXPECT_EQ(Labels(store), P({1, 3, 4, 6, 7}));
    // Each point moves whole, its flags and values with it.
    EXPECT_TRUE(store.points[1].segmentStart);
    EXPECT_FALSE(store.points[2].segmentStart);
    EXPECT_EQ(store.points[1].latValue, p3Lat);
    for (const TrackPoint& p : store.points) EXPECT_TRUE(p.kept);
}

}  // namespace
}  // namespace omvo::tracks
