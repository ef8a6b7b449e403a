#pragma once
// Distance, speed and turn between points of the track point store, on a flat
// approximation for small distances within one region.

#include <optional>
#include <string_view>

#include "tracks/track_store.hpp"

namespace omvo::tracks {

// A coordinate text: an optional leading '-', digits with at most one '.' among them
// ("54.7", "-0.5", "54", ".5"). Nothing for the empty text, a lone '-', a '-' after the
// first character or a second '.'.
std::optional<double> ParseCoordinate(std::string_view text);

// Kilometres from point i to point j; the cosine is taken at point i's latitude.
double PointDistanceKm(const TrackStore& store, int i, int j);

// Speed in km/h from point i (earlier) to point j (later); 10000.0 when the times do not
// allow a measurement. Sets *badTime when a 20-character time text is no valid date and
// time (the speed is then 10000.0 as well).
double PointSpeedKmh(const TrackStore& store, int i, int j, bool* badTime = nullptr);

// The signed change of direction at point j between points i and k, in degrees.
double TurnAngle(const TrackStore& store, int i, int j, int k);

// The orientation of a leg (not its direction of travel), in degrees, above -45 up to 135.
double LegDirection(double dlat, double dlon);

}  // namespace omvo::tracks
