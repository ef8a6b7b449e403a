#pragma once
// Drawing one trip: one line placemark per segment of its thinned track.

#include <cstddef>
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

// Returns true when the track gets placemarks: it has points and segments.
inline bool HasPlacemarks(const tracks::TrackStore& store) {
    return store.segmentCount > 0 && !store.points.empty();
}

// Walks the track as its placemarks cut it: for segment j of n (counted from 1) calls
// `begin(j, n)`, then `point(p)` for each kept point of the segment in track order, then
// `end()`. Walks nothing when the track gets no placemarks.
template <typename Begin, typename Point, typename End>
void WalkSegments(const tracks::TrackStore& store, Begin&& begin, Point&& point, End&& end) {
    if (!HasPlacemarks(store)) return;
    std::size_t next = 0;  // the first point of the segment
    for (int segment = 1; segment <= store.segmentCount; ++segment) {
        begin(segment, store.segmentCount);
        const std::size_t stop = store.SegmentEnd(next);
        for (; next < stop; ++next) {
            if (store.points[next].kept) point(store.points[next]);
        }
        end();
    }
}

}  // namespace omvo::kml
