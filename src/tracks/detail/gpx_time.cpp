#include "tracks/detail/gpx_time.hpp"

#include <chrono>
#include <cstring>

#include "base/calendar.hpp"
#include "base/decimal.hpp"
#include "tracks/detail/iso_time.hpp"

namespace omvo::tracks::detail {

namespace {

using base::IsDigit;

constexpr std::size_t kTimeLength = 20;  // YYYY-MM-DDThh:mm:ssZ, the form speeds are measured from

// Reads a day-month-year date-and-time text ("DD.MM.YYYY hh:mm:ss", blanks allowed around
// every number and separator, anything after the seconds ignored).
class DateTimeScanner {
public:
    explicit DateTimeScanner(std::string_view text) : text_(text) {}

    // Returns the seconds since 1970-01-01 00:00:00; nothing when the text is no valid date
    // and time.
    std::optional<std::int64_t> Seconds() {
        int day = 0, month = 0, year = 0, hour = 0, minute = 0, second = 0;
        if (!Number(day) || !Separator('.') || !Number(month) || !Separator('.') ||
            !Number(year) || !Number(hour) || !Separator(':') || !Number(minute) ||
            !Separator(':') || !Number(second)) {
            return std::nullopt;
        }
        return base::DateTimeSeconds(year, month, day, hour, minute, second);
    }

private:
    void SkipBlanks() {
        while (pos_ < text_.size() && text_[pos_] == ' ') ++pos_;
    }
    bool Number(int& value) {
        SkipBlanks();
        const std::size_t start = pos_;
        value = 0;
        while (pos_ < text_.size() && IsDigit(text_[pos_]) && pos_ - start < 6) {
            value = value * 10 + (text_[pos_] - '0');
            ++pos_;
        }
        return pos_ > start && (pos_ >= text_.size() || !IsDigit(text_[pos_]));
    }
    bool Separator(char c) {
        SkipBlanks();
        if (pos_ >= text_.size() || text_[pos_] != c) return false;
        ++pos_;
        return true;
    }

    std::string_view text_;
    std::size_t pos_ = 0;
};

// Returns true when the time text has digits and colons where YYYY-MM-DDThh:mm:ss has them.
bool IsPlainTime(std::string_view t) {
    static constexpr std::size_t kDigitAt[] = {0, 1, 2, 3, 5, 6, 8, 9, 11, 12, 14, 15, 17, 18};
    bool plain = t[13] == ':' && t[16] == ':';
    for (std::size_t at : kDigitAt) plain = plain && IsDigit(t[at]);
    return plain;
}

// Returns true when the two 10-character dates are the same, compared a word at a time.
bool SameDate(const char* a, const char* b) {
    std::uint64_t a8 = 0, b8 = 0;
    std::uint16_t a2 = 0, b2 = 0;
    std::memcpy(&a8, a, 8);
    std::memcpy(&b8, b, 8);
    std::memcpy(&a2, a + 8, 2);
    std::memcpy(&b2, b + 8, 2);
    return a8 == b8 && a2 == b2;
}

}  // namespace

PointTime TimeReader::Read(std::string_view text, bool isoTimes) {
    if (text.size() != kTimeLength) return isoTimes ? ReadIsoTime(text) : PointTime{};
    const std::optional<std::int64_t> read = Seconds(text);
    return {read ? TimeKind::Valid : TimeKind::Invalid, read.value_or(0), 0};
}

// The text read from fixed positions as year, month, day and time of day; the separators at
// [4], [7] and [10] and the closing [19] are not looked at. The common YYYY-MM-DDThh:mm:ss
// form is read directly; anything else (blanks around the numbers, say) goes through the
// general reading of the composed text.
std::optional<std::int64_t> TimeReader::Seconds(std::string_view t) {
    if (IsPlainTime(t)) return DaySeconds(t);
    const char composed[] = {t[8],  t[9],  '.',   t[5],  t[6],  '.',   t[0],  t[1],  t[2], t[3],
                             ' ',   t[11], t[12], t[13], t[14], t[15], t[16], t[17], t[18]};
    return DateTimeScanner(std::string_view(composed, sizeof composed)).Seconds();
}

std::optional<std::int64_t> TimeReader::DaySeconds(std::string_view t) {
    const int hour = base::DigitsValue(t, 11, 2);
    const int minute = base::DigitsValue(t, 14, 2);
    const int second = base::DigitsValue(t, 17, 2);
    if (hour > 23 || minute > 59 || second > 59) return std::nullopt;
    if (!haveDay_ || !SameDate(t.data(), date_)) {
        const std::optional<std::chrono::sys_days> day = base::CalendarDate(
            base::DigitsValue(t, 0, 4), base::DigitsValue(t, 5, 2), base::DigitsValue(t, 8, 2));
        if (!day) return std::nullopt;
        std::memcpy(date_, t.data(), kDateLength);
        day_ = day->time_since_epoch().count();
        haveDay_ = true;
    }
    return day_ * 86400 + hour * 3600 + minute * 60 + second;
}

}  // namespace omvo::tracks::detail
