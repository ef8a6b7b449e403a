#include "tracks/geodesy.hpp"

namespace omvo::tracks {

std::optional<double> ParseCoordinate(std::string_view) { return std::nullopt; }  // TODO
double PointDistanceKm(const TrackStore&, int, int) { return 0.0; }  // TODO
double PointSpeedKmh(const TrackStore&, int, int, bool*) { return 10000.0; }  // TODO
double TurnAngle(const TrackStore&, int, int, int) { return 0.0; }  // TODO
double LegDirection(double, double) { return 0.0; }  // TODO

}  // namespace omvo::tracks
