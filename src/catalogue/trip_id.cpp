#include "catalogue/trip_id.hpp"

#include "base/encoding.hpp"

namespace omvo::catalogue {

std::string TripId(const TripRecord& trip) {
    const std::string_view idLine = trip.idLine;
    const std::size_t start = base::Utf8Offset(idLine, 5);
    const std::size_t end = base::Utf8Offset(idLine, 10);
    std::string id(idLine.substr(start, end - start));
    for (char& c : id) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return id;
}

std::string TripFileId(const TripRecord& trip) { return base::Utf8ToCp1251(TripId(trip)); }

}  // namespace omvo::catalogue
