#pragma once
// The times of GPX track points as the speed filter measures them.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

#include "tracks/track_store.hpp"

namespace omvo::tracks::detail {

// Reads GPX times into points. A track's points mostly share their date, so the day of the
// last date read is kept.
class TimeReader {
public:
    // Returns nothing; sets what the time text tells the speed filter: only a text of the
    // 20-character form YYYY-MM-DDThh:mm:ssZ is measured; one of that form that names no
    // valid date and time is marked invalid.
    void Read(std::string_view text, TimeKind& kind, std::int64_t& seconds);

private:
    std::optional<std::int64_t> Seconds(std::string_view text);
    std::optional<std::int64_t> DaySeconds(std::string_view text);

    static constexpr std::size_t kDateLength = 10;
    char date_[kDateLength] = {};
    std::int64_t day_ = 0;  // days since 1970-01-01 of date_
    bool haveDay_ = false;
};

// Returns nothing; sets the point's time from its text as TimeReader::Read does.
void SetPointTime(TrackPoint& point, std::string_view text);

}  // namespace omvo::tracks::detail
