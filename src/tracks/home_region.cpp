#include "tracks/home_region.hpp"

namespace omvo::tracks {

bool IsOutsideHomeRegion(double, double) { return false; }  // TODO

}  // namespace omvo::tracks
