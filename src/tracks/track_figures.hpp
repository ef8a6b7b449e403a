#pragma once
// A trip's figures measured on its whole track as loaded, before thinning: how far, how much
// up and down, how long on the move and in all, and a small elevation profile for a chart.
// Gaps between segments count nowhere: no distance, no climb, no time.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "tracks/track_store.hpp"

namespace omvo::tracks {

// A rise or fall counts once the elevation has turned back by this much from its highest or
// lowest point since the last turn; it then counts whole, from turn to turn. Receivers jitter
// by about a metre from fix to fix (a barometric altimeter by a few tenths, GPS elevations by
// one or two metres, wandering further only over minutes), so jitter never turns the count,
// while every real rise of 5 m or more counts in full.
inline constexpr double kClimbTurnM = 5.0;

// Time counts as moving in spans of at least this many seconds (or the rest of a segment)
// whose start and end lie at least kMovingKmh apart in straight line. Judged over a span, a
// standing receiver's drift of a few metres stays well below the speed; judged fix by fix it
// would not.
inline constexpr double kMovingSpanSeconds = 20.0;
inline constexpr double kMovingKmh = 2.0;

struct TrackFigures {
    // Along every segment, point to point, on the WGS84 ellipsoid: each leg is measured on the
    // plane that touches the ellipsoid at the leg's middle latitude. That is within 0.0001 %
    // of the geodesic for legs up to 10 km, and 0.004 % longer for a leg of 120 km. (The
    // tool's own distance, which cuts segments, is a flatter measure: 0.4 % short east-west
    // and 0.2 % north-south at 55 degrees.)
    double lengthKm = 0.0;
    // Up and down by the turns of kClimbTurnM, from the points' own elevations only.
    double climbM = 0.0;
    double descentM = 0.0;
    // From the times the reader measures (the `isotimes` setting). Total: the time from point
    // to point within each segment, where it runs forward; moving: the part of it in moving
    // spans (kMovingKmh).
    double movingSeconds = 0.0;
    double totalSeconds = 0.0;
    int segmentCount = 0;
    bool hasElevations = false;  // some point has an elevation of its own
    bool hasTimes = false;       // two points of one segment have measured times
};

// A point with an elevation of its own, by its distance along the track; a segment start
// and the track's end are marks without an elevation (NaN). MeasureTrack writes them for the
// profile: eight bytes a point, so the profile needs no second walk along the track.
struct ElevationMark {
    float km;
    float metres;
};
using ElevationTrace = std::vector<ElevationMark>;

// Measures the track of the store as the reader left it; with `trace`, also refills it for
// MakeElevationProfile (its capacity is kept from track to track).
TrackFigures MeasureTrack(const TrackStore& store, ElevationTrace* trace = nullptr);

// The profile of a track: its elevation at `kProfileSlots` places at equal steps of the
// recorded length, first and last point included, each written as one character so that the
// page's data stays small (about 60 bytes a trip):
// - kProfileDigits[level]: the elevation lowM + level × (highM − lowM) / 63, interpolated
//   between the two points of the segment with an elevation around the place; levels are
//   rounded, so a value is within (highM − lowM) / 126 m of the interpolated elevation (lowM
//   and highM are the lowest and highest such elevation, rounded down and up to whole
//   metres; distances are held to 1e-7 of themselves);
// - kProfileNoElevation: no elevation there (no point of that stretch of the segment has one);
// - kProfileBreak, which takes no place: a segment ends between the places either side.
// The place of the i-th non-break character is i × stepKm from the start.
inline constexpr std::string_view kProfileDigits =
    "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz+/";
inline constexpr char kProfileNoElevation = '.';
inline constexpr char kProfileBreak = '|';
inline constexpr int kProfileSlots = 60;

struct ElevationProfile {
    double stepKm = 0.0;  // the length over kProfileSlots − 1
    int lowM = 0;
    int highM = 0;
    std::string samples;  // empty: no profile (no elevations, or no length)
};

// Makes the profile of the track that MeasureTrack measured as `figures` and traced.
ElevationProfile MakeElevationProfile(const ElevationTrace& trace, const TrackFigures& figures);

}  // namespace omvo::tracks
