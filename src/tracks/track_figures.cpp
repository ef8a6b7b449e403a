#include "tracks/track_figures.hpp"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>

namespace omvo::tracks {

namespace {

constexpr double kDegToRad = 0.017453292519943295769;
// The WGS84 ellipsoid.
constexpr double kSemiMajorKm = 6378.137;
constexpr double kFlattening = 1.0 / 298.257223563;
constexpr double kE2 = kFlattening * (2.0 - kFlattening);  // the first eccentricity, squared

// Elevations outside this range are taken for none: a receiver's glitch, not a place a
// ride goes, and one of them would flatten a whole profile.
constexpr double kLowestM = -1000.0;
constexpr double kHighestM = 10000.0;

// The kilometres of a leg on the WGS84 ellipsoid, on the plane that touches it at the leg's
// middle latitude. The scales of that plane are taken at a base latitude and corrected to
// the leg's by their slopes, so a sine and a cosine are needed only when the track has moved
// kRebaseDeg away from the base: the correction leaves an error of 2e-8 of a leg at most.
class LegMeasure {
public:
    double Km(const TrackPoint& a, const TrackPoint& b) {
        const double mid = 0.5 * (a.latValue + b.latValue);
        double offset = mid - baseLat_;
        if (!(std::fabs(offset) <= kRebaseDeg)) {  // also for the first leg: the base is NaN
            Rebase(mid);
            offset = 0.0;
        }
        double dlon = b.lonValue - a.lonValue;
        if (std::fabs(dlon) > 180.0) dlon = std::remainder(dlon, 360.0);  // across 180°
        const double dx = dlon * (kmPerDegLon_ + lonSlope_ * offset);
        const double dy = (b.latValue - a.latValue) * (kmPerDegLat_ + latSlope_ * offset);
        return std::sqrt(dx * dx + dy * dy);
    }

private:
    static constexpr double kRebaseDeg = 0.01;

    // With w = 1 − e² sin²φ, the radii of curvature are N = a / √w across the meridian and
    // M = N (1 − e²) / w along it; d(N cos φ)/dφ = −M sin φ and dM/dφ = 3 M e² sin φ cos φ / w.
    void Rebase(double lat) {
        const double phi = lat * kDegToRad;
        const double s = std::sin(phi);
        const double c = std::cos(phi);
        const double w = 1.0 - kE2 * s * s;
        const double n = kSemiMajorKm / std::sqrt(w);
        const double m = n * (1.0 - kE2) / w;
        kmPerDegLat_ = m * kDegToRad;
        kmPerDegLon_ = n * c * kDegToRad;
        latSlope_ = 3.0 * m * kE2 * s * c / w * kDegToRad * kDegToRad;
        lonSlope_ = -m * s * kDegToRad * kDegToRad;
        baseLat_ = lat;
    }

    double baseLat_ = std::numeric_limits<double>::quiet_NaN();
    double kmPerDegLat_ = 0.0;
    double kmPerDegLon_ = 0.0;
    double latSlope_ = 0.0;  // km per degree, per degree away from the base
    double lonSlope_ = 0.0;
};

// Reads the points' own elevations as the map writes them. A track's elevations repeat
// from point to point, a barometer's most of all, so the value read last is kept.
class ElevationReader {
public:
    // Returns true and the point's elevation in metres when it has one of its own.
    bool Read(const TrackPoint& point, double& metres) {
        if (!point.hasEle) return false;
        if (!(point.ele == text_)) {
            text_ = point.ele;
            valid_ = text_.ValueOf(metres_) && metres_ >= kLowestM && metres_ <= kHighestM;
        }
        metres = metres_;
        return valid_;
    }

private:
    PackedNumber text_;  // the empty text: not a number
    double metres_ = 0.0;
    bool valid_ = false;
};

// Adds up rises and falls from turn to turn of the elevation (kClimbTurnM), one segment at
// a time.
class ClimbCounter {
public:
    void Add(double metres) {
        switch (direction_) {
            case Direction::None:  // the segment's first elevation
                low_ = high_ = metres;
                direction_ = Direction::Level;
                break;
            case Direction::Level:  // no turn yet: the lowest and highest so far
                low_ = std::min(low_, metres);
                high_ = std::max(high_, metres);
                if (metres - low_ >= kClimbTurnM) {
                    Turn(Direction::Up, low_, metres);
                } else if (high_ - metres >= kClimbTurnM) {
                    Turn(Direction::Down, high_, metres);
                }
                break;
            case Direction::Up:
                if (metres > extreme_) {
                    extreme_ = metres;
                } else if (extreme_ - metres >= kClimbTurnM) {
                    climbM_ += extreme_ - turn_;
                    Turn(Direction::Down, extreme_, metres);
                }
                break;
            case Direction::Down:
                if (metres < extreme_) {
                    extreme_ = metres;
                } else if (metres - extreme_ >= kClimbTurnM) {
                    descentM_ += turn_ - extreme_;
                    Turn(Direction::Up, extreme_, metres);
                }
                break;
        }
    }

    // Ends a segment: the rise or fall under way counts up to its highest or lowest point.
    void EndSegment() {
        if (direction_ == Direction::Up) climbM_ += extreme_ - turn_;
        if (direction_ == Direction::Down) descentM_ += turn_ - extreme_;
        direction_ = Direction::None;
    }

    double climbM() const { return climbM_; }
    double descentM() const { return descentM_; }

private:
    enum class Direction { None, Level, Up, Down };

    void Turn(Direction direction, double turn, double metres) {
        direction_ = direction;
        turn_ = turn;
        extreme_ = metres;
    }

    Direction direction_ = Direction::None;
    double low_ = 0.0, high_ = 0.0;  // while Level
    double turn_ = 0.0;              // where the rise or fall under way began
    double extreme_ = 0.0;           // its highest or lowest point so far
    double climbM_ = 0.0, descentM_ = 0.0;
};

// Returns the seconds from point a to point b, both with valid times.
double SecondsBetween(const TrackPoint& a, const TrackPoint& b) {
    double seconds = static_cast<double>(b.seconds - a.seconds);
    if (a.nanoseconds != b.nanoseconds) seconds += (b.nanoseconds - a.nanoseconds) * 1e-9;
    return seconds;
}

// Adds up the time from point to point of each segment, and the part of it in moving spans
// (kMovingSpanSeconds, kMovingKmh).
class TimeCounter {
public:
    void Add(const TrackPoint& point) {
        if (point.timeKind != TimeKind::Valid) return;
        if (last_ == nullptr) {
            last_ = spanStart_ = &point;
            return;
        }
        hasTimes_ = true;
        const double seconds = SecondsBetween(*last_, point);
        if (seconds > 0.0) {
            // A long step is a span of its own: a pause without fixes is not averaged with
            // the riding before it.
            if (seconds >= kMovingSpanSeconds) EndSpan(*last_);
            totalSeconds_ += seconds;
            spanSeconds_ += seconds;
        }
        last_ = &point;
        if (spanSeconds_ >= kMovingSpanSeconds) EndSpan(point);
    }

    void EndSegment() {
        if (last_ != nullptr) EndSpan(*last_);
        last_ = spanStart_ = nullptr;
    }

    bool hasTimes() const { return hasTimes_; }
    double totalSeconds() const { return totalSeconds_; }
    double movingSeconds() const { return movingSeconds_; }

private:
    void EndSpan(const TrackPoint& end) {
        if (spanSeconds_ > 0.0 &&
            chords_.Km(*spanStart_, end) * 3600.0 >= kMovingKmh * spanSeconds_) {
            movingSeconds_ += spanSeconds_;
        }
        spanStart_ = &end;
        spanSeconds_ = 0.0;
    }

    const TrackPoint* last_ = nullptr;       // the segment's last point with a time
    const TrackPoint* spanStart_ = nullptr;
    double spanSeconds_ = 0.0;
    double totalSeconds_ = 0.0, movingSeconds_ = 0.0;
    bool hasTimes_ = false;
    LegMeasure chords_;
};

}  // namespace

TrackFigures MeasureTrack(const TrackStore& store, ElevationTrace* trace) {
    constexpr float kMark = std::numeric_limits<float>::quiet_NaN();
    TrackFigures figures;
    figures.segmentCount = store.segmentCount;
    if (trace != nullptr) {
        trace->clear();
        // A mark a point, one a segment and the end, at most: the vector grows once, if at all.
        trace->reserve(store.points.size() + static_cast<std::size_t>(store.segmentCount) + 1);
    }
    LegMeasure legs;
    ElevationReader elevations;
    ClimbCounter climb;
    TimeCounter times;
    double km = 0.0;
    const std::vector<TrackPoint>& points = store.points;
    for (std::size_t i = 0; i < points.size(); ++i) {
        const TrackPoint& point = points[i];
        if (i == 0 || point.segmentStart) {
            climb.EndSegment();
            times.EndSegment();
            if (trace != nullptr) trace->push_back({static_cast<float>(km), kMark});
        } else {
            km += legs.Km(points[i - 1], point);
        }
        double metres = 0.0;
        if (elevations.Read(point, metres)) {
            figures.hasElevations = true;
            climb.Add(metres);
            if (trace != nullptr) {
                trace->push_back({static_cast<float>(km), static_cast<float>(metres)});
            }
        }
        times.Add(point);
    }
    climb.EndSegment();
    times.EndSegment();
    if (trace != nullptr) trace->push_back({static_cast<float>(km), kMark});
    figures.lengthKm = km;
    figures.climbM = climb.climbM();
    figures.descentM = climb.descentM();
    figures.hasTimes = times.hasTimes();
    figures.totalSeconds = times.totalSeconds();
    figures.movingSeconds = times.movingSeconds();
    return figures;
}

// Each place takes the elevation interpolated between the marks with an elevation around it
// in its segment. The last place is the track's end, as the trace holds it, so that a last
// point with an elevation is found there.
ElevationProfile MakeElevationProfile(const ElevationTrace& trace, const TrackFigures& figures) {
    ElevationProfile profile;
    if (!figures.hasElevations || !(figures.lengthKm > 0.0) || trace.empty()) return profile;
    constexpr int n = kProfileSlots;
    const double step = figures.lengthKm / (n - 1);
    const double endKm = trace.back().km;
    const auto place = [&](int k) { return k == n - 1 ? endKm : k * step; };
    constexpr double kNone = std::numeric_limits<double>::quiet_NaN();
    std::array<double, n> value;
    value.fill(kNone);
    std::array<bool, n> breakBefore{};

    int k = 0;  // the next place
    const ElevationMark* before = nullptr;  // the segment's last mark with an elevation
    for (const ElevationMark& mark : trace) {
        if (std::isnan(mark.metres)) {  // a segment starts, or the track ends
            if (&mark == &trace.back()) break;  // places after the last elevation have none
            while (k < n && place(k) < mark.km) ++k;
            // A break before the first place parts nothing: the segments before it (the
            // track's first, or points of no length) have no place of their own.
            if (k > 0 && k < n) breakBefore[k] = true;
            before = nullptr;
            continue;
        }
        for (; k < n && place(k) <= mark.km; ++k) {
            const double x = place(k);
            if (x >= mark.km) {
                value[k] = mark.metres;
            } else if (before != nullptr) {
                const double share = (x - before->km) / (mark.km - before->km);
                value[k] = before->metres + (mark.metres - before->metres) * share;
            }
        }
        before = &mark;
    }

    double low = kHighestM, high = kLowestM;
    for (const double v : value) {
        if (!std::isnan(v)) {
            low = std::min(low, v);
            high = std::max(high, v);
        }
    }
    if (low > high) return profile;  // no place has an elevation
    profile.stepKm = step;
    profile.lowM = static_cast<int>(std::floor(low));
    profile.highM = static_cast<int>(std::ceil(high));
    const double levelsPerM =
        profile.highM > profile.lowM ? 63.0 / (profile.highM - profile.lowM) : 0.0;
    profile.samples.reserve(2 * n);
    for (int i = 0; i < n; ++i) {
        if (breakBefore[i]) profile.samples += kProfileBreak;
        if (!std::isnan(value[i])) {
            const long level = std::lround((value[i] - profile.lowM) * levelsPerM);
            profile.samples += kProfileDigits[static_cast<std::size_t>(level)];
        } else {
            profile.samples += kProfileNoElevation;
        }
    }
    return profile;
}

}  // namespace omvo::tracks
