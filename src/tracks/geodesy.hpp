#pragma once
// Distance, speed and leg orientation between points of the track point store, on a flat
// approximation for small distances within one region.

#include "tracks/track_store.hpp"

namespace omvo::tracks {

// Returns the kilometres from point a to point b; the cosine is taken at a's latitude.
double PointDistanceKm(const TrackPoint& a, const TrackPoint& b);

// Returns the speed in km/h from point a (earlier) to point b (later), or 10000.0 when their
// times do not allow a measurement. Sets *badTime when one of the times is of the measured
// form but no valid date and time (the speed is then 10000.0 as well).
double PointSpeedKmh(const TrackPoint& a, const TrackPoint& b, bool* badTime = nullptr);

// Returns PointSpeedKmh(a, b, badTime) >= minKmh, mostly without its cosine.
bool IsSpeedAtLeast(const TrackPoint& a, const TrackPoint& b, double minKmh, bool* badTime);

// Returns the orientation of a leg (not its direction of travel), in degrees, above -45 up
// to 135.
double LegDirection(double dlat, double dlon);

}  // namespace omvo::tracks
