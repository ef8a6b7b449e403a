#include "tracks/gpx_reader.hpp"

#include <cstdint>
#include <string_view>
#include <vector>

#include "base/console.hpp"
#include "base/decimal.hpp"
#include "base/errors.hpp"
#include "base/platform.hpp"
#include "base/text_file.hpp"
#include "tracks/detail/gpx_number.hpp"
#include "tracks/detail/gpx_scanner.hpp"
#include "tracks/detail/gpx_time.hpp"
#include "tracks/geodesy.hpp"
#include "tracks/home_region.hpp"

namespace omvo::tracks {

namespace {

using detail::NumberText;
using detail::Piece;
using detail::PieceStart;

constexpr double kSegmentGapKm = 5.0;

// Collects one point's values over one or more pieces and appends each complete point to
// the store.
class PointCollector final : public detail::PieceSink {
public:
    explicit PointCollector(TrackStore& store) : store_(store) {}

    void Take(const Piece& piece) override {
        switch (piece.start) {
            case PieceStart::Track:
                pendingStart_ = true;
                break;
            case PieceStart::Point:
                ForgetTime();
                ReadCoordinates(piece.text, piece.line);
                break;
            case PieceStart::OpenPoint:
                // The start tag goes on over the next lines; its attributes are read when it ends.
                ForgetTime();
                lat_.Clear();
                lon_.Clear();
                return;
            case PieceStart::JoinedTag:
                ReadCoordinates(piece.text, piece.line);
                return;
            case PieceStart::Line:
                break;
        }
        if (lat_.empty || lon_.empty) return;
        if (piece.ele != nullptr) detail::ReadNumber(piece.EleText(), ele_);
        if (piece.time != nullptr) times_.Read(piece.TimeText(), timeKind_, seconds_);
        if (piece.closesPoint) StorePoint(piece.line);
    }

private:
    void ForgetTime() {
        timeKind_ = TimeKind::None;
        seconds_ = 0;
    }

    void ReadCoordinates(std::string_view tag, long line) {
        detail::ReadAttributeNumber(tag, "lat", lat_);
        detail::ReadAttributeNumber(tag, "lon", lon_);
        if (lat_.empty || lon_.empty) WarnSkipped(line);
    }

    void WarnSkipped(long line) {
        std::string text = store_.path;
        text += ", line ";
        base::AppendInt(text, line);
        text += ": track point with an unreadable coordinate skipped";
        store_.warnings.push_back(std::move(text));
    }

    void StorePoint(long line) {
        if (!lat_.stored || !lon_.stored) {
            WarnSkipped(line);
            return;
        }
        FillPoint(store_.points.emplace_back());
        if (!store_.far) store_.far = LeavesHomeRegion();
        MarkSegmentStart();
    }

    // Fills the point from the working values, whose coordinates are numbers.
    void FillPoint(TrackPoint& point) const {
        point.lat = lat_.text;
        point.lon = lon_.text;
        point.latValue = *lat_.stored;
        point.lonValue = *lon_.stored;
        // A point without an elevation of its own gets 0; so does one whose elevation is no
        // number, which would break the coordinate tuple of the line.
        if (ele_.empty || !ele_.stored) {
            point.ele.assign("0");
        } else {
            point.ele = ele_.text;
        }
        point.timeKind = timeKind_;
        point.seconds = seconds_;
        point.kept = true;
        point.segmentStart = false;
    }

    // Tested on the whole trimmed texts, not on the stored cut.
    bool LeavesHomeRegion() const {
        return lat_.whole && lon_.whole && IsOutsideHomeRegion(*lon_.whole, *lat_.whole);
    }

    // The first point of the file starts a segment, and so does the first point after a
    // "<trk>" when it lies 5 km or more from the point before it.
    void MarkSegmentStart() {
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

    TrackStore& store_;
    NumberText lat_, lon_, ele_;          // carried from piece to piece
    TimeKind timeKind_ = TimeKind::None;  // of the last time read
    std::int64_t seconds_ = 0;
    bool pendingStart_ = true;
    detail::TimeReader times_;
};

}  // namespace

bool ReadTrack(const std::string& path, TrackStore& store) {
    store.Reset();
    store.path = path;
    if (!base::FileExists(path)) return false;
    base::TextFile file(path);
    PointCollector collector(store);
    const detail::MarkerNames names;
    detail::GpxScanner scanner(collector, names);
    std::string_view lines;
    while (file.NextLines(lines)) scanner.Scan(lines);
    scanner.Finish();
    file.Close();
    if (store.points.empty()) {
        store.warnings.push_back(path + ": no track point; the trip adds no placemark");
    }
    return true;
}

void ReportTrack(bool found, const TrackStore& store, std::exception_ptr failure) {
    for (const std::string& warning : store.warnings) base::Warning(warning);
    if (failure) std::rethrow_exception(failure);
    if (!found) {
        base::ConsoleText("Файл ");
        base::ConsoleBytes(store.path);
        base::ConsoleText(" не найден!\r\n");
        throw base::RunStop(1);
    }
}

void LoadTrack(const std::string& path, TrackStore& store) {
    bool found = false;
    std::exception_ptr failure;
    try {
        found = ReadTrack(path, store);
    } catch (...) {
        failure = std::current_exception();
    }
    ReportTrack(found, store, failure);
}

}  // namespace omvo::tracks
