#include "tracks/thinning.hpp"

#include <cmath>
#include <string>

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
    bool badTime = false;
    const int n = store.pointCount();
    for (int i = 2; i <= n - 1; ++i) {
        store.at(i).kept = PointSpeedKmh(store, i - 1, i, &badTime) >= minspeed;
    }
    return badTime;
}

void CompactPoints(TrackStore& store) {
    const int n = store.pointCount();
    int j = 0;
    for (int i = 1; i <= n; ++i) {
        TrackPoint& point = store.at(i);
        if (point.segmentStart) point.kept = true;
        if (!point.kept) continue;
        ++j;
        if (j < i) store.at(j) = point;
    }
    store.points.resize(static_cast<std::size_t>(j));
}

void CornerFilter(TrackStore& store, double mincorner) {
    const int n = store.pointCount();
    double accumulated = 0.0;
    for (int i = 2; i <= n - 1; ++i) {
        const double turn = TurnAngle(store, i - 1, i, i + 1);
        if (std::fabs(turn) >= mincorner) {
            accumulated = 0.0;  // a corner of its own; the point keeps its flag
            continue;
        }
        accumulated += turn;
        if (std::fabs(accumulated) >= mincorner) {
            store.at(i).kept = true;
            accumulated = 0.0;
        } else {
            store.at(i).kept = false;
        }
    }
}

}  // namespace omvo::tracks
