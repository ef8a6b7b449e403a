#include "catalogue/trip_dates.hpp"

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace omvo::catalogue {
namespace {

TEST(TripDates, GivesTheFirstDatesYearAndTheCalendarDays) {
    const struct {
        const char* dates;  // after the 11-character label
        std::optional<int> year, days;
    } cases[] = {
        {" 15 июля 2010", 2010, 1},
        {" 12-15 июля 2010", 2010, 4},
        {" 28 апреля - 2 мая 2011", 2011, 5},
        {" 30 декабря 2010 - 2 января 2011", 2010, 4},
        {" 3-25 августа 2012", 2012, 23},
        {"28.02.2012-1.03.2012", 2012, 3},
        {" 31.12.9999", 9999, 1},
        // The start takes the end's year and so lies after it: a year, no length.
        {" 30 декабря - 2 января 2011", 2011, std::nullopt},
        {" 30 февраля 2011", std::nullopt, std::nullopt},  // no calendar date
        {" 15 июля 2010 г.", std::nullopt, std::nullopt},
        {" летом", std::nullopt, std::nullopt},
        {"", std::nullopt, std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.dates);
        TripRecord trip;
        trip.datesLine = std::string("Даты похода") + c.dates;
        const TripDates dates = ReadTripDates(trip);
        EXPECT_EQ(dates.year, c.year);
        EXPECT_EQ(dates.days, c.days);
    }
}

}  // namespace
}  // namespace omvo::catalogue
