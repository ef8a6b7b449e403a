#pragma once
// The kind of a trip and its line style, from the label at the start of the heading and,
// for tours, from the day count of the dates line.

#include <chrono>
#include <string>
#include <string_view>

#include "catalogue/trip_list.hpp"

namespace omvo::catalogue {

enum class TripClass { DayTrip, NightTrip, ShortVoyage, LongVoyage, GreatVoyage, Brevet };

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

}  // namespace omvo::catalogue
