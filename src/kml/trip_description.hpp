#pragma once
// The HTML description of a trip's placemarks, made from its record.

#include <string>
#include <string_view>

#include "catalogue/trip_list.hpp"

namespace omvo::kml {

// Returns the host name of the club web site, set at build time.
std::string_view ClubHost();

// Returns the UTF-8 HTML fragment: the heading's first word, a link to the trip's page with
// the rest of the heading as its text, the identification line, the dates line and the
// summary cut to 180 characters.
std::string TripDescription(const catalogue::TripRecord& trip);

}  // namespace omvo::kml
