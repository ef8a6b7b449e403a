#pragma once
// The club's trip list: five-line records separated by empty lines, in CP1251 or in UTF-8.
// Only records whose fifth line starts with "Что посмотреть:" and names a "GPS-трек" are
// kept.

#include <string>
#include <vector>

namespace omvo::catalogue {

// One accepted record: its five lines as read, in UTF-8 (the lines of a CP1251 list
// converted, each CP1251 character one character), in file order.
struct TripRecord {
    std::string heading;
    std::string idLine;
    std::string datesLine;
    std::string summary;
    std::string sightsLine;

    bool operator==(const TripRecord&) const = default;
};

// The accepted records in file order.
using TripTable = std::vector<TripRecord>;

// Returns the accepted records of the trip list file. The list is read as UTF-8 when it
// begins with the UTF-8 byte-order mark, or when it is valid UTF-8 throughout and holds a
// character beyond ASCII; otherwise as CP1251. Writes a warning when records announce a GPS
// track in UTF-8 but the list is not valid UTF-8. Throws InOutError when it cannot be opened
// or read.
TripTable ReadTripList(const std::string& vplistname);

}  // namespace omvo::catalogue
