#include "tracks/geodesy.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "tracks/store_builder.hpp"

namespace omvo::tracks {
namespace {

using test::AddPoint;

TEST(Distance, ScalesDegreesToKilometresAtTheFirstPointsLatitude) {
    TrackStore store;
    AddPoint(store, "60", "20");
    AddPoint(store, "60", "21");
    AddPoint(store, "61", "20");
    AddPoint(store, "54.7", "20.5");
    AddPoint(store, "54.7", "20.5");
    const std::vector<TrackPoint>& p = store.points;
    EXPECT_NEAR(PointDistanceKm(p[0], p[1]), 55.5555555555, 1e-6);
    EXPECT_NEAR(PointDistanceKm(p[1], p[0]), 55.5555555555, 1e-6);
    EXPECT_NEAR(PointDistanceKm(p[0], p[2]), 111.1348666667, 1e-6);
    EXPECT_NEAR(PointDistanceKm(p[2], p[0]), 111.1348666667, 1e-6);
    EXPECT_EQ(PointDistanceKm(p[3], p[4]), 0.0);
    // Only the first point's latitude enters the cosine, so the order matters.
    EXPECT_GT(std::abs(PointDistanceKm(p[1], p[2]) - PointDistanceKm(p[2], p[1])), 0.1);
}

// Two points 1 km apart (north-south) with the given time texts.
double SpeedBetween(const std::string& t1, const std::string& t2, bool* badTime) {
    TrackStore store;
    AddPoint(store, "54.7", "20.5", t1);
    char lat[32];
    std::snprintf(lat, sizeof lat, "%.12f", 54.7 + 1.0 / 111.13486666666667);
    AddPoint(store, lat, "20.5", t2);
    return PointSpeedKmh(store.points[0], store.points[1], badTime);
}

TEST(Speed, DividesDistanceByTimeOnlyForTwoValidIncreasingTimes) {
    const struct {
        const char* name;
        std::string earlier, later;
        double speed;
        bool badTime;
    } cases[] = {
        {"six minutes", "2012-05-01T10:00:00Z", "2012-05-01T10:06:00Z", 10.0, false},
        {"across midnight and a month end", "2012-04-30T23:57:00Z", "2012-05-01T00:03:00Z",
         10.0, false},
        {"leap day", "2012-02-29T10:00:00Z", "2012-02-29T10:06:00Z", 10.0, false},
        {"equal times", "2012-05-01T10:00:00Z", "2012-05-01T10:00:00Z", 10000.0, false},
        {"backwards", "2012-05-01T10:06:00Z", "2012-05-01T10:00:00Z", 10000.0, false},
        {"no times", "", "", 10000.0, false},
        {"19 characters", "2012-05-01T10:00:00", "2012-05-01T10:06:00Z", 10000.0, false},
        {"21 characters", "2012-05-01T10:00:00Z", "2012-05-01T10:06:00ZZ", 10000.0, false},
        {"fractional second", "2012-05-01T10:00:00.5Z", "2012-05-01T10:06:00Z", 10000.0,
         false},
        {"bad text with a partner too short", "2012-13-01T10:00:00Z", "2012-05-01", 10000.0,
         false},
        {"month 13", "2012-13-01T10:00:00Z", "2012-05-01T10:06:00Z", 10000.0, true},
        {"February 29 of a common year", "2011-02-29T10:00:00Z", "2011-03-01T10:06:00Z",
         10000.0, true},
        {"hour 24", "2012-05-01T10:00:00Z", "2012-05-01T24:00:00Z", 10000.0, true},
        {"second 60", "2012-05-01T10:00:60Z", "2012-05-01T10:06:00Z", 10000.0, true},
        {"year 0", "0000-05-01T10:00:00Z", "2012-05-01T10:06:00Z", 10000.0, true},
        {"letters", "abcdefghijklmnopqrst", "2012-05-01T10:06:00Z", 10000.0, true},
        {"separators not looked at", "2012x05x01 10:00:00 ", "2012-05-01T10:06:00Z", 10.0,
         false},
        {"blanks around numbers", "2012-05- 1T10: 0:00Z", "2012-05-01T10:06:00Z", 10.0, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        bool badTime = false;
        EXPECT_NEAR(SpeedBetween(c.earlier, c.later, &badTime), c.speed, 1e-6);
        EXPECT_EQ(badTime, c.badTime);
    }
}

// The speed test of thinning skips the cosine when the north-south part alone is fast
// enough; it must judge every pair as the full speed does, right at the threshold too.
TEST(Speed, AtLeastJudgesAsTheFullSpeedDoes) {
    const char* const times[] = {"2012-05-01T10:00:00Z", "2012-05-01T10:00:01Z",
                                 "2012-05-01T10:00:01.5Z", "2012-05-01T10:06:00Z", "",
                                 "2012-13-01T10:00:00Z"};
    const char* const lats[] = {"54.7", "54.70001", "54.6999", "54.71", "-54.7", "89.9999"};
    const char* const lons[] = {"20.5", "20.50001", "20.4999", "20.6", "-160.5", "20.5"};
    TrackStore store;
    for (std::size_t i = 0; i < std::size(lats); ++i) {
        for (std::size_t j = 0; j < std::size(times); ++j) {
            AddPoint(store, lats[i], lons[(i + j) % std::size(lons)], times[j]);
        }
    }
    int judged = 0;
    for (const TrackPoint& a : store.points) {
        for (const TrackPoint& b : store.points) {
            const double speed = PointSpeedKmh(a, b);
            for (const double min : {0.0, 3.0, 50.0, speed, std::nextafter(speed, 0.0),
                                     std::nextafter(speed, 1e300)}) {
                bool fullBad = false;
                bool bad = false;
                const bool full = PointSpeedKmh(a, b, &fullBad) >= min;
                ASSERT_EQ(IsSpeedAtLeast(a, b, min, &bad), full) << speed << " against " << min;
                ASSERT_EQ(bad, fullBad);
                ++judged;
            }
        }
    }
    EXPECT_EQ(judged, 36 * 36 * 6);
}

TEST(Turn, LegOrientationIgnoresTheDirectionOfTravel) {
    const struct {
        double dlat, dlon, direction;
    } cases[] = {
        {0, 0, 0},    {1, 0, 0},     {-1, 0, 0},   {0, 1, 90},  {0, -1, 90},
        {1, 1, 45},   {-1, -1, 45},  {1, -1, 135}, {-1, 1, 135}, {2, 1, 26.56505117707799},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.dlat) + ", " + std::to_string(c.dlon));
        EXPECT_NEAR(LegDirection(c.dlat, c.dlon), c.direction, 1e-9);
    }
}

}  // namespace
}  // namespace omvo::tracks
