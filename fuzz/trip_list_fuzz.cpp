// Any bytes as the trip list. Every record read goes through the date-range parser, whose
// result must be consistent, and is drawn as a one-point track into documents that must
// stay well-formed.
#include <cstdlib>

#include "base/errors.hpp"
#include "catalogue/trip_class.hpp"
#include "catalogue/trip_list.hpp"
#include "fuzz_support.hpp"
#include "kml/trip_placemarks.hpp"
#include "tracks/track_store.hpp"

namespace {

using namespace omvo;

void CheckDateRange(std::string_view datesLine) {
    const catalogue::DateRange range = catalogue::ParseDateRange(datesLine);
    if (range.hasDates && (!catalogue::IsDateText(range.startText) ||
                           !catalogue::IsDateText(range.endText) || !range.badDateText.empty())) {
        std::abort();
    }
    if (range.valid != (range.hasDates && range.end >= range.start)) std::abort();
}

tracks::TrackStore OnePointStore() {
    tracks::TrackStore store;
    tracks::TrackPoint& point = store.points.emplace_back();
    point.lat.assign("54.7");
    point.lon.assign("20.5");
    point.ele.assign("0");
    point.latValue = 54.7;
    point.lonValue = 20.5;
    point.kept = true;
    point.segmentStart = true;
    store.segmentCount = 1;
    return store;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string path = fuzz::WriteScratchFile("vplist.txt", fuzz::Bytes(data, size));
    catalogue::TripTable trips;
    try {
        trips = catalogue::ReadTripList(path);
    } catch (const base::InOutError&) {
        return 0;
    }
    static const tracks::TrackStore store = OnePointStore();
    fuzz::CheckWellFormed(fuzz::WriteDocuments([&](kml::Documents& documents) {
        for (const catalogue::TripRecord& trip : trips) {
            CheckDateRange(trip.datesLine);
            kml::WriteTripPlacemarks(documents, kml::Route::MainAndHome, trip,
                                     catalogue::ClassifyTrip(trip), store);
        }
    }));
    return 0;
}
