#include "tracks/geodesy.hpp"

#include <cmath>

namespace omvo::tracks {

namespace {

constexpr double kDegToRad = 0.017453292519943295769;
constexpr double kRadToDeg = 57.295779513082320873;
constexpr double kKmPerDegLon = 111.111111111111111126;  // at the equator
constexpr double kKmPerDegLat = 111.134866666666666656;
constexpr double kUnmeasuredSpeed = 10000.0;

// The north-south kilometres from point a to point b, as PointDistanceKm takes them.
double NorthSouthKm(const TrackPoint& a, const TrackPoint& b) {
    return std::fabs(a.latValue - b.latValue) * kKmPerDegLat;
}

// Returns the hours from point a to point b, or 0 when their times do not allow a
// measurement; sets *badTime as PointSpeedKmh does.
double ElapsedHours(const TrackPoint& a, const TrackPoint& b, bool* badTime) {
    if (a.timeKind == TimeKind::None || b.timeKind == TimeKind::None) return 0.0;
    if (a.timeKind == TimeKind::Invalid || b.timeKind == TimeKind::Invalid) {
        if (badTime != nullptr) *badTime = true;
        return 0.0;
    }
    if (b.seconds < a.seconds || (b.seconds == a.seconds && b.nanoseconds <= a.nanoseconds)) {
        return 0.0;
    }
    double elapsed = static_cast<double>(b.seconds - a.seconds);
    if (a.nanoseconds != b.nanoseconds) elapsed += (b.nanoseconds - a.nanoseconds) * 1e-9;
    return elapsed / 3600.0;
}

}  // namespace

double PointDistanceKm(const TrackPoint& a, const TrackPoint& b) {
    const double dx = std::fabs(a.lonValue - b.lonValue) * std::cos(a.latValue * kDegToRad) *
                      kKmPerDegLon;
    const double dy = NorthSouthKm(a, b);
    return std::sqrt(dx * dx + dy * dy);
}

double PointSpeedKmh(const TrackPoint& a, const TrackPoint& b, bool* badTime) {
    const double hours = ElapsedHours(a, b, badTime);
    if (hours == 0.0) return kUnmeasuredSpeed;
    return PointDistanceKm(a, b) / hours;
}

// The distance is at least its north-south part as computed (the square root of a sum with
// one more square that is not negative), so a point fast enough by that part alone needs no
// cosine.
bool IsSpeedAtLeast(const TrackPoint& a, const TrackPoint& b, double minKmh, bool* badTime) {
    const double hours = ElapsedHours(a, b, badTime);
    if (hours == 0.0) return kUnmeasuredSpeed >= minKmh;
    const double dy = NorthSouthKm(a, b);
    if (std::sqrt(dy * dy) / hours >= minKmh) return true;
    return PointDistanceKm(a, b) / hours >= minKmh;
}

double LegDirection(double dlat, double dlon) {
    if (dlat == 0.0 && dlon == 0.0) return 0.0;
    // The arctangent of the ratio, not atan2: a leg and its reverse share one orientation.
    if (std::fabs(dlat) > std::fabs(dlon)) return std::atan(dlon / dlat) * kRadToDeg;
    return 90.0 - std::atan(dlat / dlon) * kRadToDeg;
}

}  // namespace omvo::tracks
