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
    // Takes the points of `elements` into the store; with `isoTimes` every xsd:dateTime form
    // of a time is measured.
    PointCollector(TrackStore& store, const PointElements& elements, bool isoTimes)
        : store_(store), pointName_(elements.pointName), isoTimes_(isoTimes) {}

    // Takes the next piece of the text.
    void Take(const Piece& piece) {
        switch (piece.start) {
            case PieceStart::Track:
                pendingStart_ = true;
                break;
            case PieceStart::Point:
                BeginPoint();
                ReadCoordinates(piece.text, piece.line);
                break;
            case PieceStart::OpenPoint:  // its attributes are read when its start tag ends
                BeginPoint();
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
        if (piece.ele != nullptr) {
            ReadNumber(piece.EleText(), ele_);
            ownEle_ = true;
        }
        if (piece.time != nullptr) time_ = times_.Read(piece.TimeText(), isoTimes_);
        if (piece.closesPoint) StorePoint(piece.line);
    }

private:
    // A new point begins: the time read last and the elevation read belong to the one before.
    void BeginPoint() {
        time_ = PointTime{};
        ownEle_ = false;
    }
    void ReadCoordinates(std::string_view tag, long line);
    void WarnSkipped(long line);
    void StorePoint(long line);
    void FillPoint(TrackPoint& point) const;
    bool LeavesHomeRegion() const;
    void MarkSegmentStart();

    TrackStore& store_;
    const std::string_view pointName_;  // "track point" or "route point", in warnings
    const bool isoTimes_;
    NumberText lat_, lon_, ele_;
    PointTime time_;  // the last time read
    bool ownEle_ = false;  // ele_ was read since the point began
    bool pendingStart_ = true;  // the next point stored may start a segment
    TimeReader times_;
};

}  // namespace omvo::tracks::detail
