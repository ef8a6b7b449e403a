// Any bytes as a GPX file: loading, thinning and drawing never crash, and the store keeps
// its invariants.
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

#include "catalogue/trip_list.hpp"
#include "kml/documents.hpp"
#include "kml/trip_placemarks.hpp"
#include "tracks/gpx_reader.hpp"
#include "tracks/thinning.hpp"

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, std::size_t size) {
    static const std::string dir = [] {
        char name[] = "/tmp/omvo-fuzz-XXXXXX";
        return std::string(mkdtemp(name)) + "/";
    }();
    const std::string path = dir + "trk.gpx";
    std::FILE* f = std::fopen(path.c_str(), "wb");
    std::fwrite(data, 1, size, f);
    std::fclose(f);

    omvo::tracks::TrackStore store;
    omvo::tracks::LoadTrack(path, store);
    omvo::tracks::ThinTrack(store, 3.0, 12.0);
    int starts = 0;
    for (const omvo::tracks::TrackPoint& point : store.points) {
        if (!point.kept) std::abort();
        starts += point.segmentStart ? 1 : 0;
    }
    if (starts != store.segmentCount) std::abort();
    if (!store.points.empty() && !store.points[0].segmentStart) std::abort();

    omvo::catalogue::TripRecord trip;
    trip.line[1] = "Code: ab123";
    omvo::kml::Documents documents(dir);
    omvo::kml::WriteTripPlacemarks(documents, trip, store);
    return 0;
}
