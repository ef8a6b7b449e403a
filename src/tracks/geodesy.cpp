#include "tracks/geodesy.hpp"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <system_error>

#include "base/calendar.hpp"
#include "base/decimal.hpp"

namespace omvo::tracks {

namespace {

constexpr double kDegToRad = 0.017453292519943295769;
constexpr double kRadToDeg = 57.295779513082320873;
constexpr double kKmPerDegLon = 111.111111111111111126;  // at the equator
constexpr double kKmPerDegLat = 111.134866666666666656;
constexpr double kUnmeasuredSpeed = 10000.0;
constexpr std::size_t kTimeLength = 20;  // YYYY-MM-DDThh:mm:ssZ

using base::IsDigit;

// Reads a day-month-year date-and-time text ("DD.MM.YYYY hh:mm:ss", blanks allowed around
// every number and separator, anything after the seconds ignored).
class DateTimeScanner {
public:
    explicit DateTimeScanner(std::string_view text) : text_(text) {}

    // Seconds since 1970-01-01 00:00:00; nothing when the text is no valid date and time.
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

// The date-and-time of a 20-character GPX time text, read from fixed positions as day,
// month, year and time of day; characters 5, 8, 11 and 20 are not looked at.
std::optional<std::int64_t> TimeSeconds(std::string_view t) {
    // The common YYYY-MM-DDThh:mm:ss form is read directly; anything else (blanks around
    // the numbers, say) goes through the general reading of the composed text.
    static constexpr std::size_t kDigitAt[] = {0, 1, 2, 3, 5, 6, 8, 9, 11, 12, 14, 15, 17, 18};
    bool plain = t[13] == ':' && t[16] == ':';
    for (std::size_t at : kDigitAt) plain = plain && IsDigit(t[at]);
    if (plain) {
        return base::DateTimeSeconds(base::DigitsValue(t, 0, 4), base::DigitsValue(t, 5, 2),
                                     base::DigitsValue(t, 8, 2), base::DigitsValue(t, 11, 2),
                                     base::DigitsValue(t, 14, 2), base::DigitsValue(t, 17, 2));
    }
    const char composed[] = {t[8],  t[9],  '.',   t[5],  t[6],  '.',   t[0],
                             t[1],  t[2],  t[3],  ' ',   t[11], t[12], t[13],
                             t[14], t[15], t[16], t[17], t[18]};
    return DateTimeScanner({composed, sizeof composed}).Seconds();
}

}  // namespace

std::optional<double> ParseCoordinate(std::string_view text) {
    std::size_t i = 0;
    if (!text.empty() && text[0] == '-') i = 1;
    if (i == text.size()) return std::nullopt;  // empty, or a lone '-'
    bool point = false;
    bool digits = false;
    for (std::size_t k = i; k < text.size(); ++k) {
        if (text[k] == '.') {
            if (point) return std::nullopt;
            point = true;
        } else if (IsDigit(text[k])) {
            digits = true;
        } else {
            return std::nullopt;
        }
    }
    if (!digits) return 0.0;  // "." and "-." read as zero
    double value = 0.0;
    const char* first = text.data() + i;
    const char* last = text.data() + text.size();
    auto [end, ec] = std::from_chars(first, last, value, std::chars_format::fixed);
    if (ec != std::errc() || end != last) return std::nullopt;
    return i == 1 ? -value : value;
}

double PointDistanceKm(const TrackStore& store, int i, int j) {
    const TrackPoint& a = store.at(i);
    const TrackPoint& b = store.at(j);
    const double dx = std::fabs(a.lonValue - b.lonValue) * std::cos(a.latValue * kDegToRad) *
                      kKmPerDegLon;
    const double dy = std::fabs(a.latValue - b.latValue) * kKmPerDegLat;
    return std::sqrt(dx * dx + dy * dy);
}

double PointSpeedKmh(const TrackStore& store, int i, int j, bool* badTime) {
    const std::string_view ti = store.at(i).time.view();
    const std::string_view tj = store.at(j).time.view();
    if (ti.size() != kTimeLength || tj.size() != kTimeLength) return kUnmeasuredSpeed;
    const std::optional<std::int64_t> si = TimeSeconds(ti);
    const std::optional<std::int64_t> sj = TimeSeconds(tj);
    if (!si || !sj) {
        if (badTime != nullptr) *badTime = true;
        return kUnmeasuredSpeed;
    }
    if (*sj <= *si) return kUnmeasuredSpeed;
    const double hours = static_cast<double>(*sj - *si) / 3600.0;
    return PointDistanceKm(store, i, j) / hours;
}

double TurnAngle(const TrackStore& store, int i, int j, int k) {
    const TrackPoint& a = store.at(i);
    const TrackPoint& b = store.at(j);
    const TrackPoint& c = store.at(k);
    const double first = LegDirection(b.latValue - a.latValue, b.lonValue - a.lonValue);
    const double second = LegDirection(c.latValue - b.latValue, c.lonValue - b.lonValue);
    return second - first;
}

double LegDirection(double dlat, double dlon) {
    if (dlat == 0.0 && dlon == 0.0) return 0.0;
    // The arctangent of the ratio, not atan2: a leg and its reverse share one orientation.
    if (std::fabs(dlat) > std::fabs(dlon)) return std::atan(dlon / dlat) * kRadToDeg;
    return 90.0 - std::atan(dlat / dlon) * kRadToDeg;
}

}  // namespace omvo::tracks
