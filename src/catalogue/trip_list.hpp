#pragma once
// The club's trip list: CP1251 text of five-line records separated by empty lines. Only
// records whose fifth line starts with "Что посмотреть:" and names a "GPS-трек" are kept.

#include <string>
#include <vector>

namespace omvo::catalogue {

// One accepted record: its five CP1251 lines exactly as read, in file order.
struct TripRecord {
    std::string heading;
    std::string idLine;
    std::string datesLine;
    std::string summary;
    std::string sightsLine;
};

// The accepted records in file order.
using TripTable = std::vector<TripRecord>;

// Returns the accepted records of the trip list file. Throws InOutError when it cannot be
// opened or read.
TripTable ReadTripList(const std::string& vplistname);

}  // namespace omvo::catalogue
