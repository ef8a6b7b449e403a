#pragma once
// The club's trip list: CP1251 text of five-line records separated by empty lines. Only
// records whose fifth line starts with "Что посмотреть:" and names a "GPS-трек" are kept.

#include <array>
#include <string>
#include <vector>

namespace omvo::catalogue {

// One accepted record: five CP1251 lines exactly as read. line[0] is the heading, line[1]
// the identification line, line[2] the dates line, line[3] the summary, line[4] the sights
// line.
struct TripRecord {
    std::array<std::string, 5> line;
};

// The accepted records in file order.
using TripTable = std::vector<TripRecord>;

// Reads the trip list file; throws InOutError when it cannot be opened or read.
TripTable ReadTripList(const std::string& vplistname);

}  // namespace omvo::catalogue
