#pragma once
// Drawing one trip: one line placemark per segment of its thinned track.

#include <string>

#include "catalogue/trip_class.hpp"
#include "catalogue/trip_list.hpp"
#include "kml/documents.hpp"
#include "tracks/track_store.hpp"

namespace omvo::kml {

// Writes one placemark per segment to the documents of the route. Named after the trip id,
// with "(j/n)" appended when there are two or more segments, and styled by the trip class.
void WriteTripPlacemarks(Documents& documents, Route route, const catalogue::TripRecord& trip,
                         catalogue::TripClass tripClass, const tracks::TrackStore& store);

// Appends "(j/n)" to a segment's name, segment j of n counted from 1, when n is 2 or more.
void AppendSegmentNumber(std::string& name, int segment, int segmentCount);

}  // namespace omvo::kml
