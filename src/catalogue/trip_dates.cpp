#include "catalogue/trip_dates.hpp"

#include <chrono>

#include "catalogue/trip_class.hpp"

namespace omvo::catalogue {

TripDates ReadTripDates(const TripRecord& trip) {
    TripDates dates;
    const DateRange range = ParseDateRange(trip.datesLine);
    if (!range.hasDates) return dates;
    dates.year = static_cast<int>(std::chrono::year_month_day(range.start).year());
    if (range.valid) dates.days = static_cast<int>((range.end - range.start).count()) + 1;
    return dates;
}

}  // namespace omvo::catalogue
