#pragma once
// A trip record for the tests that derive texts from one.

#include <string_view>

#include "catalogue/trip_list.hpp"

namespace omvo::test {

// A trip record of the given heading, identification line and summary, dated 12-15 July
// 2010, with a GPS track.
inline catalogue::TripRecord TestTrip(std::string_view heading, std::string_view idLine,
                                      std::string_view summary) {
    return {.heading = std::string(heading),
            .idLine = std::string(idLine),
            .datesLine = "Даты похода 12-15 июля 2010",
            .summary = std::string(summary),
            .sightsLine = "Что посмотреть: GPS-трек"};
}

}  // namespace omvo::test
