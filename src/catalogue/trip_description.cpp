#include "catalogue/trip_description.hpp"

namespace omvo::catalogue {

std::string_view ClubHost() { return OMVO_CLUB_HOST; }
std::string TripId(const TTripRecord& trip) { return trip.line[1].substr(5, 5); }  // TODO
std::string TripDescription(const TTripRecord&) { return {}; }  // TODO

}  // namespace omvo::catalogue
