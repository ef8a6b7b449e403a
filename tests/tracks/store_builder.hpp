#pragma once
// Builds track point stores for tests from coordinate texts, the way the reader stores them.

#include <string>
#include <string_view>

#include "tracks/detail/gpx_number.hpp"
#include "tracks/detail/gpx_time.hpp"
#include "tracks/track_store.hpp"

namespace omvo::tracks::test {

inline void AddPoint(TrackStore& store, std::string_view lat, std::string_view lon,
                     std::string_view time = "", std::string_view ele = "0",
                     bool segmentStart = false) {
    TrackPoint& point = store.points.emplace_back();
    point.lat.assign(lat);
    point.lon.assign(lon);
    point.ele.assign(ele);
    point.SetTime(detail::TimeReader().Read(time, false));
    point.latValue = detail::ParseCoordinate(lat).value();
    point.lonValue = detail::ParseCoordinate(lon).value();
    point.kept = true;
    point.segmentStart = segmentStart || store.points.size() == 1;
    if (point.segmentStart) ++store.segmentCount;
}

// A point from values; ele carries a label that tells the points apart after thinning.
inline void AddPointAt(TrackStore& store, double lat, double lon, std::string_view label,
                       std::string_view time = "", bool segmentStart = false) {
    AddPoint(store, std::to_string(lat), std::to_string(lon), time, label, segmentStart);
    store.points.back().latValue = lat;
    store.points.back().lonValue = lon;
}

}  // namespace omvo::tracks::test
