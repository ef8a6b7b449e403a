#include "catalogue/trip_id.hpp"

namespace omvo::catalogue {

std::string TripId(const TripRecord& trip) {
    const std::string_view idLine = trip.idLine;
    std::string id(idLine.size() > 5 ? idLine.substr(5, 5) : std::string_view{});
    for (char& c : id) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return id;
}

}  // namespace omvo::catalogue
