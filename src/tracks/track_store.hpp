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

// What a point's time text tells the speed filter.
enum class TimeKind : std::uint8_t {
    None,     // not of the measured form YYYY-MM-DDThh:mm:ssZ: the speed is not measured
    Invalid,  // of that form, but no valid date and time
    Valid,    // `seconds` holds it
};

struct TrackPoint {
    ShortText<15> lat;
    ShortText<15> lon;
    ShortText<15> ele;   // "0" when the GPX point had no elevation
    ShortText<23> time;  // the time element's text; empty when the point had none
    bool kept = false;
    bool segmentStart = false;
    TimeKind timeKind = TimeKind::None;
    // The stored lat and lon texts and the time, read once when the point is stored.
    double latValue = 0.0;
    double lonValue = 0.0;
    std::int64_t seconds = 0;  // since 1970-01-01 00:00:00
};

// The track point store, reused from trip to trip: a reset keeps the capacity, so a run
// allocates per track, not per point. It grows as needed; there is no fixed limit.
struct TrackStore {
    std::vector<TrackPoint> points;
    int segmentCount = 0;
    bool far = false;                 // some point lies outside the home region
    std::string path;                 // the GPX file, named in warnings

    std::size_t pointCount() const { return points.size(); }
    void Reset() {
        points.clear();
        segmentCount = 0;
        far = false;
    }
};

}  // namespace omvo::tracks
