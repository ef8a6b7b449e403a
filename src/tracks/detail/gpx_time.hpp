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
    // Returns what the time text tells the speed filter: a text of the 20-character form
    // YYYY-MM-DDThh:mm:ssZ is read by its fixed positions, and with `isoTimes` a text of any
    // other length as an xsd:dateTime; one of such a form that names no valid date and time
    // is marked invalid, a text of any other form is not measured.
    PointTime Read(std::string_view text, bool isoTimes);

private:
    std::optional<std::int64_t> Seconds(std::string_view text);
    std::optional<std::int64_t> DaySeconds(std::string_view text);

    static constexpr std::size_t kDateLength = 10;
    char date_[kDateLength] = {};
    std::int64_t day_ = 0;  // days since 1970-01-01 of date_
    bool haveDay_ = false;
};

}  // namespace omvo::tracks::detail
