#include "tracks/geodesy.hpp"

#include <cmath>

namespace omvo::tracks {

namespace {

constexpr double kDegToRad = 0.017453292519943295769;
constexpr double kRadToDeg = 57.295779513082320873;
constexpr double kKmPerDegLon = 111.111111111111111126;  // at the equator
constexpr double kKmPerDegLat = 111.134866666666666656;
constexpr double kUnmeasuredSpeed = 10000.0;

}  // namespace

double PointDistanceKm(const TrackPoint& a, const TrackPoint& b) {
    const double dx = std::fabs(a.lonValue - b.lonValue) * std::cos(a.latValue * kDegToRad) *
                      kKmPerDegLon;
    const double dy = std::fabs(a.latValue - b.latValue) * kKmPerDegLat;
    return std::sqrt(dx * dx + dy * dy);
}

double PointSpeedKmh(const TrackPoint& a, const TrackPoint& b, bool* badTime) {
    if (a.timeKind == TimeKind::None || b.timeKind == TimeKind::None) return kUnmeasuredSpeed;
    if (a.timeKind == TimeKind::Invalid || b.timeKind == TimeKind::Invalid) {
        if (badTime != nullptr) *badTime = true;
        return kUnmeasuredSpeed;
    }
    if (b.seconds < a.seconds || (b.seconds == a.seconds && b.nanoseconds <= a.nanoseconds)) {
        return kUnmeasuredSpeed;
    }
    double elapsed = static_cast<double>(b.seconds - a.seconds);
    if (a.nanoseconds != b.nanoseconds) elapsed += (b.nanoseconds - a.nanoseconds) * 1e-9;
    const double hours = elapsed / 3600.0;
    return PointDistanceKm(a, b) / hours;
}

double LegDirection(double dlat, double dlon) {
    if (dlat == 0.0 && dlon == 0.0) return 0.0;
    // The arctangent of the ratio, not atan2: a leg and its reverse share one orientation.
    if (std::fabs(dlat) > std::fabs(dlon)) return std::atan(dlon / dlat) * kRadToDeg;
    return 90.0 - std::atan(dlat / dlon) * kRadToDeg;
}

}  // namespace omvo::tracks
