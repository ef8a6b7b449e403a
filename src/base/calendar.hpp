#pragma once
// Dates and times as the tool reads them: Gregorian dates of the years 1 to 9999, times of
// day from 00:00:00 to 23:59:59.

#include <chrono>
#include <cstdint>
#include <optional>

namespace omvo::base {

// Returns the day of a calendar date, or nothing when the numbers name no valid date.
std::optional<std::chrono::sys_days> CalendarDate(int year, int month, int day);

// Returns the seconds since 1970-01-01 00:00:00 of a date and time of day, or nothing when
// either is invalid.
std::optional<std::int64_t> DateTimeSeconds(int year, int month, int day, int hour, int minute,
                                            int second);

}  // namespace omvo::base
