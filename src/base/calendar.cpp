#include "base/calendar.hpp"

namespace omvo::base {

std::optional<std::chrono::sys_days> CalendarDate(int year, int month, int day) {
    // Checked before the chrono types see them: they keep only a byte of month and day.
    if (year < 1 || year > 9999 || month < 1 || month > 12 || day < 1 || day > 31) {
        return std::nullopt;
    }
    const std::chrono::year_month_day date{std::chrono::year{year},
                                           std::chrono::month{static_cast<unsigned>(month)},
                                           std::chrono::day{static_cast<unsigned>(day)}};
    if (!date.ok()) return std::nullopt;
    return std::chrono::sys_days{date};
}

std::optional<std::int64_t> DateTimeSeconds(int year, int month, int day, int hour, int minute,
                                            int second) {
    if (hour < 0 || hour > 23 || minute < 0 || minute > 59 || second < 0 || second > 59) {
        return std::nullopt;
    }
    const std::optional<std::chrono::sys_days> date = CalendarDate(year, month, day);
    if (!date) return std::nullopt;
    const std::int64_t days = date->time_since_epoch().count();
    return days * 86400 + hour * 3600 + minute * 60 + second;
}

}  // namespace omvo::base
