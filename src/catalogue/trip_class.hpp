#pragma once
// The kind of a trip and its line style, from the label at the start of the heading and,
// for tours, from the day count of the dates line.

#include <array>
#include <chrono>
#include <optional>
#include <string>
#include <string_view>

#include "catalogue/trip_list.hpp"

namespace omvo::catalogue {

enum class TripClass { DayTrip, NightTrip, ShortVoyage, LongVoyage, GreatVoyage, Brevet };

// How a class is drawn and named: the line style of the documents (its id, its colour as KML
// writes it, aabbggrr, and its width in pixels) and the name of its row in the page's legend.
struct ClassStyle {
    TripClass tripClass;
    std::string_view styleId;
    std::string_view kmlColor;
    std::string_view width;
    std::string_view legendName;  // UTF-8
};

// The six classes in the order of TripClass, which is also the order of the documents'
// header and of the page's legend.
inline constexpr std::array<ClassStyle, 6> kClassStyles = {{
    {TripClass::DayTrip, "sn_day_trip", "99ff5500", "6", "Велопробеги"},
    {TripClass::NightTrip, "sn_night_trip", "99ff0055", "6", "Ночные велопробеги"},
    {TripClass::ShortVoyage, "sn_short_voyage", "99ff0000", "6", "Велопоходы до 5 дней"},
    {TripClass::LongVoyage, "sn_long_voyage", "997f0000", "6", "Велопоходы 6–21 день"},
    {TripClass::GreatVoyage, "sn_great_voyage", "99000055", "6", "Велопоходы от 22 дней"},
    {TripClass::Brevet, "sn_brevet", "990000aa", "6", "Бреветы"},
}};

constexpr bool InClassOrder() {
    for (std::size_t i = 0; i < kClassStyles.size(); ++i) {
        if (static_cast<std::size_t>(kClassStyles[i].tripClass) != i) return false;
    }
    return true;
}
static_assert(InClassOrder(), "kClassStyles follows the order of TripClass");

// A date range read from a dates line. `hasDates` tells whether both texts had the shape
// of a date and were calendar dates; `valid` whether, in addition, the end is not earlier
// than the start. `startText` and `endText` are the texts the shape test saw.
struct DateRange {
    std::chrono::sys_days start{};
    std::chrono::sys_days end{};
    bool hasDates = false;
    bool valid = false;
    std::string startText;
    std::string endText;
    // The first date text of the right shape that is no calendar date; empty otherwise.
    std::string badDateText;
};

// Returns the date range that a dates line (UTF-8) names after its label.
DateRange ParseDateRange(std::string_view datesLine);

// Returns true when the text has the shape "dd.mm.yyyy" (digits and two dots).
bool IsDateText(std::string_view text);

// Returns the text without its blanks (spaces).
std::string RemoveBlanks(std::string_view text);

// Returns the text with `search` replaced until none is left; when the replacement itself
// holds `search`, each place is replaced once.
std::string ReplaceAll(std::string text, std::string_view search, std::string_view replacement);

// Returns the class of a trip. Writes a warning to standard error, naming the trip id and the
// text, when a dates text of the right shape is no calendar date.
TripClass ClassifyTrip(const TripRecord& trip);

// Returns the style id of a class: "sn_day_trip", ..., "sn_brevet".
std::string_view StyleIdOf(TripClass tripClass);

// Returns the class whose style id is the text (an overlay may name one), or nothing.
std::optional<TripClass> ClassOfStyleId(std::string_view styleId);

}  // namespace omvo::catalogue
