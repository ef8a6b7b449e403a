#include "tracks/home_region.hpp"

#include <gtest/gtest.h>

namespace omvo::tracks {
namespace {

TEST(HomeRegion, IsTheOuterBoxLessEightRectangles) {
    const struct {
        const char* name;
        double lon, lat;
        bool outside;
    } cases[] = {
        {"well inside", 20.5, 54.7, false},
        {"west of the box", 19.6, 54.7, true},
        {"east of the box", 22.9, 54.7, true},
        {"north of the box", 20.5, 55.3, true},
        {"just inside the south edge", 21.0, 54.3177, false},
        {"just south of the box", 21.0, 54.3176, true},
        {"on the west edge", 19.6361, 54.7, false},
        {"on the north edge", 20.5, 55.29453, false},
        {"in rectangle 1", 20.965, 55.282, true},
        {"just west of rectangle 1", 20.963, 55.282, false},
        {"in rectangle 4", 22.746, 54.642, true},
        {"in rectangle 8", 19.894, 54.431, true},
        {"on the east edge of rectangle 8", 19.89796710186563, 54.431, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(IsOutsideHomeRegion({.lon = c.lon, .lat = c.lat}), c.outside);
    }
}

}  // namespace
}  // namespace omvo::tracks
