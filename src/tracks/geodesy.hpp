#pragma once
// Distance, speed and turn between points of the track point store, on a flat
// approximation for small distances within one region.

#include "tracks/track_store.hpp"

namespace omvo::tracks {

// Kilometres from point a to point b; the cosine is taken at a's latitude.
double PointDistanceKm(const TrackPoint& a, const TrackPoint& b);

// Speed in km/h from point a (earlier) to point b (later); 10000.0 when their times do not
// allow a measurement. Sets *badTime when one of the times is of the measured form but no
// valid date and time (the speed is then 10000.0 as well).
double PointSpeedKmh(const TrackPoint& a, const TrackPoint& b, bool* badTime = nullptr);

// The signed change of direction at point b between the legs from a and to c, in degrees.
double TurnAngle(const TrackPoint& a, const TrackPoint& b, const TrackPoint& c);

// The orientation of a leg (not its direction of travel), in degrees, above -45 up to 135.
double LegDirection(double dlat, double dlon);

}  // namespace omvo::tracks
