#include "tracks/thinning.hpp"

#include <cmath>
#include <string>
#include <vector>

#include "base/console.hpp"
#include "tracks/geodesy.hpp"

namespace omvo::tracks {

void ThinTrack(TrackStore& store, double minspeed, double mincorner) {
    if (SpeedFilter(store, minspeed)) {
        base::Warning(store.path +
                      ": a time of the track is no valid date and time; speeds there are "
                      "not measured");
    }
    CompactPoints(store);
    CornerFilter(store, mincorner);
    CompactPoints(store);
}

bool SpeedFilter(TrackStore& store, double minspeed) {
    // The ends are never judged; every other point by its speed from the point before it,
    // kept or not.
    std::vector<TrackPoint>& points = store.points;
    bool badTime = false;
    for (std::size_t i = 1; i + 1 < points.size(); ++i) {
        points[i].kept = IsSpeedAtLeast(points[i - 1], points[i], minspeed, &badTime);
    }
    return badTime;
}

void CompactPoints(TrackStore& store) {
    for (TrackPoint& point : store.points) {
        if (point.segmentStart) point.kept = true;
    }
    std::erase_if(store.points, [](const TrackPoint& point) { return !point.kept; });
}

void CornerFilter(TrackStore& store, double mincorner) {
    // A point is kept where the track turns by the minimum corner at once, or where the
    // small turns since the last kept corner add up to it.
    std::vector<TrackPoint>& points = store.points;
    if (points.size() < 3) return;
    double accumulated = 0.0;
    // Each leg's direction serves two turns: the one at its start and the one at its end.
    double before = LegDirection(points[1].latValue - points[0].latValue,
                                 points[1].lonValue - points[0].lonValue);
    for (std::size_t i = 1; i + 1 < points.size(); ++i) {
        const double after = LegDirection(points[i + 1].latValue - points[i].latValue,
                                          points[i + 1].lonValue - points[i].lonValue);
        const double turn = after - before;
        before = after;
        if (std::fabs(turn) >= mincorner) {
            accumulated = 0.0;  // a corner of its own; the point keeps its flag
            continue;
        }
        accumulated += turn;
        points[i].kept = std::fabs(accumulated) >= mincorner;
        if (points[i].kept) accumulated = 0.0;
    }
}

}  // namespace omvo::tracks
