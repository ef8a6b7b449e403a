#pragma once
// The points of the one GPX track being processed. Coordinates stay the decimal texts of
// the GPX file (trimmed and cut to 15 characters) from the file to the map.

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

namespace omvo::tracks {

// A text of at most N characters; a longer text keeps its first N characters.
template <std::size_t N>
class ShortText {
public:
    void assign(std::string_view text) {
        size_ = static_cast<std::uint8_t>(text.size() < N ? text.size() : N);
        if (size_ != 0) std::memcpy(data_, text.data(), size_);
    }
    std::string_view view() const { return {data_, size_}; }
    std::size_t size() const { return size_; }
    bool empty() const { return size_ == 0; }

private:
    char data_[N] = {};
    std::uint8_t size_ = 0;
};

struct TrackPoint {
    ShortText<15> lat;
    ShortText<15> lon;
    ShortText<15> ele;   // "0" when the GPX point had no elevation
    ShortText<23> time;  // the time element's text; empty when the point had none
    bool kept = false;
    bool segmentStart = false;
    // The stored lat and lon texts, parsed once when the point is stored.
    double latValue = 0.0;
    double lonValue = 0.0;
};

// The track point store, reused from trip to trip: a reset keeps the capacity, so a run
// allocates per track, not per point. It grows as needed; there is no fixed limit.
struct TrackStore {
    std::vector<TrackPoint> points;  // point i (from 1) is points[i - 1]
    int segmentCount = 0;
    bool far = false;                 // some point lies outside the home region
    std::string path;                 // the GPX file, named in warnings

    int pointCount() const { return static_cast<int>(points.size()); }
    TrackPoint& at(int i) { return points[static_cast<std::size_t>(i - 1)]; }
    const TrackPoint& at(int i) const { return points[static_cast<std::size_t>(i - 1)]; }
    void Reset() {
        points.clear();
        segmentCount = 0;
        far = false;
    }
};

}  // namespace omvo::tracks
