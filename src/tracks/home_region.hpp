#pragma once
// The club's home region: a longitude-latitude box with eight small rectangles cut out.

namespace omvo::tracks {

// True when the point lies outside the home region.
bool IsOutsideHomeRegion(double lon, double lat);

}  // namespace omvo::tracks
