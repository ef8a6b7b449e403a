#pragma once
// The points of the one GPX track being processed. Coordinates stay the decimal texts of
// the GPX file (trimmed and cut to 15 characters) from the file to the map.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace omvo::tracks {

// A decimal text of the GPX file as the map shows it: at most 15 characters of
// "0123456789.-", packed four bits a character so a point stays small. A longer text keeps
// its first 15 characters; any other character reads back as '?'.
class PackedNumber {
public:
    static constexpr std::size_t kCapacity = 15;

    void assign(std::string_view text);
    // Requires `codes` to hold `size` (at most kCapacity) characters as CodeOf gives them,
    // the first in the lowest four bits.
    void assignCodes(std::uint64_t codes, std::size_t size) { bits_ = (codes << 4) | size; }
    // Returns the four-bit code of a character.
    static constexpr std::uint64_t CodeOf(char c) {
        if (c >= '0' && c <= '9') return static_cast<std::uint64_t>(c - '0');
        return c == '.' ? 10 : c == '-' ? 11 : 15;
    }
    std::size_t size() const { return static_cast<std::size_t>(bits_ & 0xF); }
    void AppendTo(std::string& out) const;
    // Returns true and the value of the text when it reads as a coordinate does (an optional
    // leading '-', digits with at most one '.' among them; "." is 0), straight from the
    // packed characters; false otherwise.
    bool ValueOf(double& value) const;
    bool operator==(const PackedNumber&) const = default;
    std::string str() const {
        std::string text;
        AppendTo(text);
        return text;
    }

private:
    std::uint64_t bits_ = 0;  // the length in the low four bits, then a character each four
};

// What a point's time text tells the speed filter.
enum class TimeKind : std::uint8_t {
    None,     // not of a measured form (YYYY-MM-DDThh:mm:ssZ, or any ISO form when asked
              // for): the speed is not measured
    Invalid,  // of such a form, but no valid date and time
    Valid,    // `seconds` and `nanoseconds` hold it
};

// A point's time as read from its GPX text.
struct PointTime {
    TimeKind kind = TimeKind::None;
    std::int64_t seconds = 0;       // since 1970-01-01 00:00:00 UTC, when kind is Valid
    std::int32_t nanoseconds = 0;   // the fraction of that second
};

struct TrackPoint {
    // The values read once when the point is stored.
    double latValue = 0.0;
    double lonValue = 0.0;
    std::int64_t seconds = 0;  // since 1970-01-01 00:00:00, when timeKind is Valid
    // The texts the map shows: trimmed, cut to 15 characters.
    PackedNumber lat;
    PackedNumber lon;
    PackedNumber ele;  // "0" when the GPX point had none (see hasEle)
    std::int32_t nanoseconds = 0;  // the fraction of `seconds`, after the texts so that the
                                   // flags below share its eight bytes
    bool kept = false;
    bool segmentStart = false;
    TimeKind timeKind = TimeKind::None;
    bool hasEle = false;  // `ele` is the number of the point's own <ele>; otherwise it is what
                          // the map writes in its place (the elevation read last, or "0")

    void SetTime(const PointTime& time) {
        timeKind = time.kind;
        seconds = time.seconds;
        nanoseconds = time.nanoseconds;
    }
};
static_assert(sizeof(TrackPoint) <= 56, "a point must stay small: tracks can be long");

// The track point store, reused from trip to trip: a reset keeps the capacity, so a run
// allocates per track, not per point. It grows as needed; there is no fixed limit.
struct TrackStore {
    std::vector<TrackPoint> points;
    int segmentCount = 0;
    bool far = false;                 // some point lies outside the home region
    std::string path;                 // the GPX file, named in warnings
    std::vector<std::string> warnings;  // of the load, for the console

    std::size_t pointCount() const { return points.size(); }
    // Returns the end of the segment that starts at point `first`: the next segment start
    // after it, or the end of the track.
    std::size_t SegmentEnd(std::size_t first) const {
        std::size_t end = first + 1;
        while (end < points.size() && !points[end].segmentStart) ++end;
        return end < points.size() ? end : points.size();
    }
    void Reset() {
        points.clear();
        segmentCount = 0;
        far = false;
        warnings.clear();
    }
};

}  // namespace omvo::tracks
