#include "kml/trip_placemarks.hpp"

namespace omvo::kml {

void WriteTripPlacemarks(Documents&, const catalogue::TTripRecord&, const tracks::TrackStore&) {}  // TODO

}  // namespace omvo::kml
