#pragma once
// What the dates line of a trip tells beside its class: the year it belongs to and how many
// calendar days it took, read as the classification reads it.

#include <optional>

#include "catalogue/trip_list.hpp"

namespace omvo::catalogue {

struct TripDates {
    std::optional<int> year;  // of the first date; none when the dates cannot be read
    std::optional<int> days;  // calendar days, both ends counted (a one-day ride: 1); none
                              // also when the end lies before the start
};

// Reads the trip's dates line; says nothing about a date it cannot read (the classification
// does, for tours).
TripDates ReadTripDates(const TripRecord& trip);

}  // namespace omvo::catalogue
