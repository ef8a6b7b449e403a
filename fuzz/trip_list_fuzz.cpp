// Any bytes as the trip list. Every record read must be valid UTF-8; a list read as CP1251
// must give the same records saved as UTF-8 (with the byte-order mark or without, by the
// input's length). Every record goes through the date-range parser, whose result must be
// consistent, and is drawn as a one-point track into documents that must stay well-formed
// and into a web page whose data must stay valid.
#include <cstdlib>

#include "base/errors.hpp"
#include "catalogue/trip_class.hpp"
#include "catalogue/trip_list.hpp"
#include "fuzz_support.hpp"
#include "kml/trip_placemarks.hpp"
#include "tracks/track_figures.hpp"
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
    for (const catalogue::TripRecord& trip : trips) {
        for (const std::string* line :
             {&trip.heading, &trip.idLine, &trip.datesLine, &trip.summary, &trip.sightsLine}) {
            fuzz::CheckUtf8("trip record", *line);
        }
    }
    if (fuzz::CharsetOf(path) == base::Charset::Cp1251) {
        const std::string utf8 = fuzz::WriteScratchFile(
            "vplist-utf8.txt", fuzz::SavedAsUtf8(fuzz::Bytes(data, size), size % 2 == 1));
        if (catalogue::ReadTripList(utf8) != trips) std::abort();
    }
    static const tracks::TrackStore store = OnePointStore();
    fuzz::CheckWellFormed(fuzz::WriteDocuments([&](kml::Documents& documents) {
        for (const catalogue::TripRecord& trip : trips) {
            CheckDateRange(trip.datesLine);
            kml::WriteTripPlacemarks(documents, kml::Route::MainAndHome, trip,
                                     catalogue::ClassifyTrip(trip), store);
        }
    }));
    fuzz::CheckWebPage([&](web::WebPage& page) {
        for (const catalogue::TripRecord& trip : trips) {
            page.AddTrip(kml::Route::MainAndHome, trip, catalogue::ClassifyTrip(trip), store,
                         tracks::TrackFigures{}, tracks::ElevationProfile{});
        }
    });
    return 0;
}
