#pragma once
// The trip id names a trip's GPX file, its placemarks and the anchor of its link.

#include <string>

#include "catalogue/trip_list.hpp"

namespace omvo::catalogue {

// Returns characters 6 to 10 of the identification line, Latin capitals lowered; CP1251 as
// read.
std::string TripId(const TripRecord& trip);

}  // namespace omvo::catalogue
