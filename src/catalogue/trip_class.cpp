#include "catalogue/trip_class.hpp"

#include "base/calendar.hpp"
#include "base/console.hpp"
#include "base/decimal.hpp"
#include "base/encoding.hpp"
#include "catalogue/trip_id.hpp"

namespace omvo::catalogue {

namespace {

using base::IsDigit;

// Heading labels and the night-trip word.
constexpr std::string_view kRideLabel = "Велопробег:";
constexpr std::string_view kBrevetLabel = "Бревет:";
constexpr std::string_view kTourLabel = "Велопоход:";
constexpr std::string_view kNightLower = "ночной";
constexpr std::string_view kNightUpper = "Ночной";

struct MonthName {
    std::string_view name;  // lower-case genitive
    std::string_view replacement;
};

// Replaced in this order.
constexpr std::array<MonthName, 12> kMonths{{
    {"января", ".01."},
    {"февраля", ".02."},
    {"марта", ".03."},
    {"апреля", ".04."},
    {"мая", ".05."},
    {"июня", ".06."},
    {"июля", ".07."},
    {"августа", ".08."},
    {"сентября", ".09."},
    {"октября", ".10."},
    {"ноября", ".11."},
    {"декабря", ".12."},
}};

// The label of a dates line, skipped whatever it holds: this many characters.
constexpr std::size_t kDatesLabelLength = 11;

// A tour is long from this day count on (exclusive bound), great from the second.
constexpr int kLongVoyageAfterDays = 4;
constexpr int kGreatVoyageAfterDays = 20;

// The calendar date of a text that passed IsDateText ("dd.mm.yyyy"), or nothing when it
// names no valid date.
std::optional<std::chrono::sys_days> ReadCalendarDate(std::string_view text) {
    return base::CalendarDate(base::DigitsValue(text, 6, 4), base::DigitsValue(text, 3, 2),
                              base::DigitsValue(text, 0, 2));
}

bool Contains(std::string_view text, std::string_view part) {
    return text.find(part) != std::string_view::npos;
}

}  // namespace

std::string RemoveBlanks(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        if (c != ' ') out += c;
    }
    return out;
}

std::string ReplaceAll(std::string text, std::string_view search, std::string_view replacement) {
    if (search.empty()) return text;
    // Searching again from the start of the new text finds nothing before the last
    // replacement that did not overlap it, so the search resumes where such an overlap can
    // begin. A replacement holding the search text would never end that way; then the
    // search resumes after the replacement.
    const bool selfContaining = replacement.find(search) != std::string_view::npos;
    std::size_t from = 0;
    for (;;) {
        const std::size_t pos = text.find(search, from);
        if (pos == std::string::npos) return text;
        text.replace(pos, search.size(), replacement);
        if (selfContaining) {
            from = pos + replacement.size();
        } else {
            from = pos >= search.size() - 1 ? pos - (search.size() - 1) : 0;
        }
    }
}

bool IsDateText(std::string_view text) {
    return text.size() == 10 && base::HasShape(text, 0, "99.99.9999");
}

DateRange ParseDateRange(std::string_view datesLine) {
    DateRange range;
    std::string s = RemoveBlanks(datesLine.substr(base::Utf8Offset(datesLine, kDatesLabelLength)));
    for (const auto& month : kMonths) s = ReplaceAll(std::move(s), month.name, month.replacement);

    // A one-digit first day becomes two digits.
    if (s.size() >= 2 && IsDigit(s[0]) && (s[1] == '-' || s[1] == '.')) s.insert(0, "0");

    const std::size_t dash = s.find('-');
    if (dash == std::string::npos) {
        range.startText = s;
        range.endText = s;
    } else {
        // A one-digit day after the dash becomes two digits.
        if (dash + 2 < s.size() && IsDigit(s[dash + 1]) && s[dash + 2] == '.') {
            const std::string dayAfterDash = s.substr(dash, 3);
            const std::string twoDigitDay{'-', '0', s[dash + 1], '.'};
            s = ReplaceAll(std::move(s), dayAfterDash, twoDigitDay);
        }
        range.startText = s.substr(0, dash);
        range.endText = s.substr(dash + 1);
        // The month and year, or the year, written once for the range.
        if (range.startText.size() < range.endText.size()) {
            range.startText += range.endText.substr(range.startText.size());
        }
    }

    if (!IsDateText(range.startText) || !IsDateText(range.endText)) return range;
    const auto start = ReadCalendarDate(range.startText);
    if (!start) {
        range.badDateText = range.startText;
        return range;
    }
    const auto end = ReadCalendarDate(range.endText);
    if (!end) {
        range.badDateText = range.endText;
        return range;
    }
    range.start = *start;
    range.end = *end;
    range.hasDates = true;
    range.valid = range.end >= range.start;
    return range;
}

TripClass ClassifyTrip(const TripRecord& trip) {
    const std::string_view heading = trip.heading;
    if (heading.starts_with(kRideLabel)) {
        return Contains(heading, kNightLower) || Contains(heading, kNightUpper) ? TripClass::NightTrip
                                                                                : TripClass::DayTrip;
    }
    if (heading.starts_with(kBrevetLabel)) return TripClass::Brevet;
    if (heading.starts_with(kTourLabel)) {
        const DateRange range = ParseDateRange(trip.datesLine);
        if (!range.badDateText.empty()) {
            base::Warning("trip " + TripFileId(trip) + ": '" + range.badDateText +
                          "' is not a valid date; the trip is drawn as a short tour");
        }
        // A tour of unknown length gets the smallest tour class. An end before the start
        // gives a negative day count and so a short tour as well.
        if (!range.hasDates) return TripClass::ShortVoyage;
        const auto days = (range.end - range.start).count();
        if (days > kLongVoyageAfterDays) {
            return days > kGreatVoyageAfterDays ? TripClass::GreatVoyage : TripClass::LongVoyage;
        }
        return TripClass::ShortVoyage;
    }
    return TripClass::DayTrip;
}

std::string_view StyleIdOf(TripClass tripClass) {
    return kClassStyles[static_cast<std::size_t>(tripClass)].styleId;
}

std::optional<TripClass> ClassOfStyleId(std::string_view styleId) {
    for (const ClassStyle& style : kClassStyles) {
        if (style.styleId == styleId) return style.tripClass;
    }
    return std::nullopt;
}

}  // namespace omvo::catalogue
