#pragma once
// The club's home region: a longitude-latitude box with eight small rectangles cut out.

namespace omvo::tracks {

// A position in degrees. Call sites name the fields (`{.lon = x, .lat = y}`), so the two
// cannot be swapped unnoticed.
struct Coordinates {
    double lon = 0.0;
    double lat = 0.0;
};

// Returns true when the point lies outside the home region.
bool IsOutsideHomeRegion(Coordinates point);

}  // namespace omvo::tracks
