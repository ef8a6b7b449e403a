#include "tracks/detail/iso_time.hpp"

#include <cstdint>
#include <optional>

#include "base/calendar.hpp"
#include "base/decimal.hpp"

namespace omvo::tracks::detail {

namespace {

using base::IsDigit;
using base::HasShape;
using base::IsBlank;

constexpr std::string_view kDateTimeShape = "9999-99-99T99:99:99";
constexpr std::string_view kOffsetShape = "99:99";
constexpr int kMaxOffsetMinutes = 14 * 60;
constexpr int kNanosecondDigits = 9;

}  // namespace

PointTime ReadIsoTime(std::string_view text) {
    while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
    while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
    if (!HasShape(text, 0, kDateTimeShape)) return {};
    std::size_t p = kDateTimeShape.size();

    std::int32_t nanoseconds = 0;
    if (p < text.size() && text[p] == '.') {
        const std::size_t digits = ++p;
        while (p < text.size() && IsDigit(text[p])) {
            if (p - digits < kNanosecondDigits) nanoseconds = nanoseconds * 10 + (text[p] - '0');
            ++p;
        }
        if (p == digits) return {};
        for (std::size_t n = p - digits; n < kNanosecondDigits; ++n) nanoseconds *= 10;
    }

    int offsetMinutes = 0;
    if (p < text.size() && text[p] == 'Z') {
        ++p;
    } else if (p < text.size() && (text[p] == '+' || text[p] == '-')) {
        if (!HasShape(text, p + 1, kOffsetShape)) return {};
        const int hours = base::DigitsValue(text, p + 1, 2);
        const int minutes = base::DigitsValue(text, p + 4, 2);
        if (minutes > 59 || hours * 60 + minutes > kMaxOffsetMinutes) {
            return {TimeKind::Invalid, 0, 0};
        }
        offsetMinutes = (text[p] == '-' ? -1 : 1) * (hours * 60 + minutes);
        p += 1 + kOffsetShape.size();
    }
    if (p != text.size()) return {};

    const std::optional<std::int64_t> local = base::DateTimeSeconds(
        base::DigitsValue(text, 0, 4), base::DigitsValue(text, 5, 2), base::DigitsValue(text, 8, 2),
        base::DigitsValue(text, 11, 2), base::DigitsValue(text, 14, 2),
        base::DigitsValue(text, 17, 2));
    if (!local) return {TimeKind::Invalid, 0, 0};
    return {TimeKind::Valid, *local - std::int64_t{offsetMinutes} * 60, nanoseconds};
}

}  // namespace omvo::tracks::detail
