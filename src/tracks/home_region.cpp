#include "tracks/home_region.hpp"

namespace omvo::tracks {

namespace {

struct Box {
    double west, east, south, north;
};

// The outer box; points on its edges are inside.
constexpr Box kOuter{19.6361, 22.88157, 54.31766, 55.29453};

// Rectangles cut out of the box; points on their edges are not in them.
constexpr Box kHoles[] = {
    {20.96323831461133, 20.97072079076305, 55.27996081770952, 55.2840315052677},
    {21.90588938126487, 21.91458500224395, 55.08415433794899, 55.08909773742945},
    {22.59213077458476, 22.60452470665179, 55.05248725950057, 55.0606162766432},
    {22.74486228643655, 22.74860471217904, 54.64100466264195, 54.64302207966642},
    {22.2899593702718, 22.30362966687954, 54.3309406350495, 54.34106947288356},
    {20.65683268450688, 20.6683704977666, 54.36542384481084, 54.3717501615665},
    {20.0370816751938, 20.07279516197181, 54.4073021599264, 54.42193702517267},
    {19.89043717447827, 19.89796710186563, 54.42888273632767, 54.43411813419868},
};

}  // namespace

bool IsOutsideHomeRegion(Coordinates point) {
    const double lon = point.lon;
    const double lat = point.lat;
    if (lat < kOuter.south || lat > kOuter.north || lon < kOuter.west || lon > kOuter.east) {
        return true;
    }
    for (const Box& hole : kHoles) {
        if (hole.west < lon && lon < hole.east && hole.south < lat && lat < hole.north) {
            return true;
        }
    }
    return false;
}

}  // namespace omvo::tracks
