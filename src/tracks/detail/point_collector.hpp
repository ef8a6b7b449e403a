#pragma once
// Track points assembled from the pieces of a GPX text and appended to the store.

#include <cstdint>
#include <string_view>

#include "tracks/detail/gpx_number.hpp"
#include "tracks/detail/gpx_scanner.hpp"
#include "tracks/detail/gpx_time.hpp"
#include "tracks/track_store.hpp"

namespace omvo::tracks::detail {

// Collects one point's values over one or more pieces and appends each complete point to
// the store; the values are carried from piece to piece until a new point replaces them.
class PointCollector {
public:
    explicit PointCollector(TrackStore& store) : store_(store) {}

    // Returns nothing; takes the next piece of the text.
    void Take(const Piece& piece) {
        switch (piece.start) {
            case PieceStart::Track:
                pendingStart_ = true;
                break;
            case PieceStart::Point:
                ForgetTime();
                ReadCoordinates(piece.text, piece.line);
                break;
            case PieceStart::OpenPoint:  // its attributes are read when its start tag ends
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
        if (piece.ele != nullptr) ReadNumber(piece.EleText(), ele_);
        if (piece.time != nullptr) times_.Read(piece.TimeText(), timeKind_, seconds_);
        if (piece.closesPoint) StorePoint(piece.line);
    }

private:
    void ForgetTime() {
        timeKind_ = TimeKind::None;
        seconds_ = 0;
    }
    void ReadCoordinates(std::string_view tag, long line);
    void WarnSkipped(long line);
    void StorePoint(long line);
    void FillPoint(TrackPoint& point) const;
    bool LeavesHomeRegion() const;
    void MarkSegmentStart();

    TrackStore& store_;
    NumberText lat_, lon_, ele_;
    TimeKind timeKind_ = TimeKind::None;  // of the last time read
    std::int64_t seconds_ = 0;
    bool pendingStart_ = true;  // the next point stored may start a segment
    TimeReader times_;
};

}  // namespace omvo::tracks::detail
