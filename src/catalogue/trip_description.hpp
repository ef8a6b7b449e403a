#pragma once
// The trip id (names the GPX file, the placemarks and the link anchor) and the HTML
// description of a trip, built from its record.

#include <string>
#include <string_view>

#include "catalogue/trip_list.hpp"

namespace omvo::catalogue {

// The host name of the club web site, set at build time.
std::string_view ClubHost();

// Characters 6 to 10 of the identification line, Latin capitals lowered; CP1251 as read.
std::string TripId(const TripRecord& trip);

// The UTF-8 HTML fragment: head, link to the trip's page with the title as link text, the
// identification line, the dates line and the summary cut to 180 characters.
std::string TripDescription(const TripRecord& trip);

}  // namespace omvo::catalogue
