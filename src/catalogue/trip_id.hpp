#pragma once
// The trip id names a trip's GPX file, its placemarks and the anchor of its link.

#include <string>

#include "catalogue/trip_list.hpp"

namespace omvo::catalogue {

// Returns characters 6 to 10 of the identification line, Latin capitals lowered; UTF-8.
std::string TripId(const TripRecord& trip);

// Returns the trip id as the GPX file name and the console take it: in CP1251, the bytes a
// CP1251 trip list gives, whichever code page the list was saved in, so one folder of GPX
// files serves both (and Windows reads path bytes in its ANSI code page, CP1251 on a Russian
// system). An id with a character CP1251 lacks stays UTF-8.
std::string TripFileId(const TripRecord& trip);

}  // namespace omvo::catalogue
