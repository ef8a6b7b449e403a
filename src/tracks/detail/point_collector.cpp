#include "tracks/detail/point_collector.hpp"

#include <string>
#include <vector>

#include "base/decimal.hpp"
#include "tracks/geodesy.hpp"
#include "tracks/home_region.hpp"

namespace omvo::tracks::detail {

namespace {

constexpr double kSegmentGapKm = 5.0;

}  // namespace

void PointCollector::ReadCoordinates(std::string_view tag, long line) {
    ReadAttributeNumber(tag, "lat", lat_);
    ReadAttributeNumber(tag, "lon", lon_);
    if (lat_.empty || lon_.empty) WarnSkipped(line);
}

void PointCollector::WarnSkipped(long line) {
    std::string text = store_.path;
    text += ", line ";
    base::AppendInt(text, line);
    text += ": ";
    text += pointName_;
    text += " with an unreadable coordinate skipped";
    store_.warnings.push_back(std::move(text));
}

void PointCollector::StorePoint(long line) {
    if (!lat_.stored || !lon_.stored) {
        WarnSkipped(line);
        return;
    }
    FillPoint(store_.points.emplace_back());
    ownEle_ = false;  // a further close without a new point stores the elevation's stand-in
    if (!store_.far) store_.far = LeavesHomeRegion();
    MarkSegmentStart();
}

// Fills the point from the working values, whose coordinates are numbers.
void PointCollector::FillPoint(TrackPoint& point) const {
    point.lat = lat_.text;
    point.lon = lon_.text;
    point.latValue = *lat_.stored;
    point.lonValue = *lon_.stored;
    // A point without an elevation of its own gets 0; so does one whose elevation is no
    // number, which would break the coordinate tuple of the line.
    if (ele_.empty || !ele_.stored) {
        point.ele.assign("0");
        point.hasEle = false;
    } else {
        point.ele = ele_.text;
        point.hasEle = ownEle_;
    }
    point.SetTime(time_);
    point.kept = true;
    point.segmentStart = false;
}

// Tested on the whole trimmed texts, not on the stored cut.
bool PointCollector::LeavesHomeRegion() const {
    return lat_.whole && lon_.whole &&
           IsOutsideHomeRegion({.lon = *lon_.whole, .lat = *lat_.whole});
}

// The first point of the file starts a segment, and so does the first point after a
// "<trk>" (with cutGaps also a "<trkseg>") when it lies 5 km or more from the point before it.
void PointCollector::MarkSegmentStart() {
    std::vector<TrackPoint>& points = store_.points;
    const std::size_t n = points.size();
    if (pendingStart_ && n > 1 && PointDistanceKm(points[n - 2], points[n - 1]) < kSegmentGapKm) {
        pendingStart_ = false;
    }
    points[n - 1].segmentStart = pendingStart_;
    if (pendingStart_) {
        pendingStart_ = false;
        ++store_.segmentCount;
    }
}


}  // namespace omvo::tracks::detail
