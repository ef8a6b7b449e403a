// Any bytes as a GPX file: loaded, thinned with one of a few threshold pairs (chosen by the
// input's length) and drawn. After thinning the store holds only kept points, starts with a
// segment start and counts its segment starts right; the documents stay well-formed.
#include <cstdlib>
#include <iterator>

#include "base/errors.hpp"
#include "catalogue/trip_list.hpp"
#include "fuzz_support.hpp"
#include "kml/trip_placemarks.hpp"
#include "tracks/gpx_reader.hpp"
#include "tracks/thinning.hpp"

namespace {

using namespace omvo;

struct Thresholds {
    double minspeed;
    double mincorner;
};
constexpr Thresholds kThresholds[] = {{3, 12}, {0, 0}, {25, 60}, {-1, 179}};

void CheckThinnedStore(const tracks::TrackStore& store) {
    int starts = 0;
    for (const tracks::TrackPoint& point : store.points) {
        if (!point.kept) std::abort();
        if (point.segmentStart) ++starts;
    }
    if (starts != store.segmentCount) std::abort();
    if (!store.points.empty() && !store.points[0].segmentStart) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const catalogue::TripRecord trip{.heading = "Ride: Around the lake",
                                            .idLine = "Code: vp101",
                                            .datesLine = "Dates:     15.07.2010",
                                            .summary = "Summary",
                                            .sightsLine = "GPS"};
    // Reused from input to input, as a run reuses it from trip to trip.
    static tracks::TrackStore store;
    const std::string path = fuzz::WriteScratchFile("vp101tr.gpx", fuzz::Bytes(data, size));
    const Thresholds& thresholds = kThresholds[size % std::size(kThresholds)];
    try {
        tracks::LoadTrack(path, store);
        tracks::ThinTrack(store, thresholds.minspeed, thresholds.mincorner);
    } catch (const base::RunStop&) {
        return 0;
    } catch (const base::InOutError&) {
        return 0;
    }
    CheckThinnedStore(store);
    fuzz::CheckWellFormed(fuzz::WriteDocuments([&](kml::Documents& documents) {
        const kml::Route route = store.far ? kml::Route::MainAndFar : kml::Route::MainAndHome;
        kml::WriteTripPlacemarks(documents, route, trip, catalogue::TripClass::DayTrip, store);
    }));
    return 0;
}
