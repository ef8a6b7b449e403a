// Any bytes as a GPX file: loaded, thinned with one of a few threshold pairs (chosen by the
// input's length) and drawn. The input's first byte, when it has more, picks the reader's
// switches and a variant of the rest: as it is, with its markers prefixed ("<trkpt" as
// "<g:trkpt", the prefix bound at the start), or as UTF-16 with either byte-order mark; and
// whether the UTF-8 byte-order mark stands in front. The trip drawn has a UTF-8 record with
// characters beyond CP1251.
// After thinning the store holds only kept points, starts with a segment start and counts
// its segment starts right; the documents stay well-formed and the web page data valid
// JSON.
#include <cstdlib>
#include <iterator>
#include <string>
#include <string_view>

#include "base/errors.hpp"
#include "catalogue/trip_list.hpp"
#include "fuzz_support.hpp"
#include "kml/trip_placemarks.hpp"
#include "tracks/gpx_reader.hpp"
#include "tracks/thinning.hpp"
#include "tracks/track_figures.hpp"

namespace {

using namespace omvo;

struct Thresholds {
    double minspeed;
    double mincorner;
};
constexpr Thresholds kThresholds[] = {{3, 12}, {0, 0}, {25, 60}, {-1, 179}};

// Every '<' and "</" gets the prefix "g:", bound to the GPX namespace at the start.
std::string Prefixed(std::string_view bytes) {
    std::string out = "<g:gpx xmlns:g=\"http://www.topografix.com/GPX/1/1\">";
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        out += bytes[i];
        if (bytes[i] != '<') continue;
        if (i + 1 < bytes.size() && bytes[i + 1] == '/') out += bytes[++i];
        out += "g:";
    }
    return out;
}

// Each byte as one UTF-16 code unit (so the text reads back as it was, bytes from 0x80 up
// as two-byte UTF-8), after a byte-order mark.
std::string Utf16(std::string_view bytes, bool bigEndian) {
    std::string out = bigEndian ? "\xFE\xFF" : "\xFF\xFE";
    for (const char c : bytes) {
        out += bigEndian ? '\0' : c;
        out += bigEndian ? c : '\0';
    }
    return out;
}

void CheckThinnedStore(const tracks::TrackStore& store) {
    int starts = 0;
    for (const tracks::TrackPoint& point : store.points) {
        if (!point.kept) std::abort();
        if (point.segmentStart) ++starts;
    }
    if (starts != store.segmentCount) std::abort();
    if (!store.points.empty() && !store.points[0].segmentStart) std::abort();
}

// A profile has a place for every slot, each a level, no elevation or a break between two.
void CheckProfile(const tracks::ElevationProfile& profile) {
    if (profile.samples.empty()) return;
    if (!(profile.lowM <= profile.highM)) std::abort();
    int places = 0;
    for (std::size_t i = 0; i < profile.samples.size(); ++i) {
        const char c = profile.samples[i];
        if (c == tracks::kProfileBreak) {
            if (i == 0 || profile.samples[i - 1] == tracks::kProfileBreak) std::abort();
            continue;
        }
        if (c != tracks::kProfileNoElevation &&
            tracks::kProfileDigits.find(c) == std::string_view::npos) {
            std::abort();
        }
        ++places;
    }
    if (places != tracks::kProfileSlots || profile.samples.back() == tracks::kProfileBreak) {
        std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const catalogue::TripRecord trip{.heading = "Велопробег: «Вокруг озера» – Łeba",
                                            .idLine = "Код: vp101",
                                            .datesLine = "Даты:      15.07.2010",
                                            .summary = "Озёра и пляжи \U0001F6B2",
                                            .sightsLine = "Что посмотреть: GPS-трек"};
    // Reused from input to input, as a run reuses it from trip to trip.
    static tracks::TrackStore store;
    std::string_view bytes = fuzz::Bytes(data, size);
    tracks::ReadOptions options;
    std::string file(bytes);
    if (bytes.size() > 1) {
        const auto choice = static_cast<unsigned char>(bytes[0]);
        bytes.remove_prefix(1);
        options = {.isoTimes = (choice & 1) != 0,
                   .cutGaps = (choice & 2) != 0,
                   .routes = (choice & 4) != 0};
        switch ((choice >> 3) % 4) {
            case 1: file = Prefixed(bytes); break;
            case 2: file = Utf16(bytes, false); break;
            case 3: file = Utf16(bytes, true); break;
            default: file.assign(bytes); break;
        }
        if ((choice & 64) != 0) file.insert(0, "\xEF\xBB\xBF");
    }
    const std::string path = fuzz::WriteScratchFile("vp101tr.gpx", file);
    const Thresholds& thresholds = kThresholds[size % std::size(kThresholds)];
    static tracks::ElevationTrace trace;
    tracks::TrackFigures figures;
    tracks::ElevationProfile profile;
    try {
        tracks::LoadTrack(path, store, options);
        figures = tracks::MeasureTrack(store, &trace);
        profile = tracks::MakeElevationProfile(trace, figures);
        tracks::ThinTrack(store, thresholds.minspeed, thresholds.mincorner);
    } catch (const base::RunStop&) {
        return 0;
    } catch (const base::InOutError&) {
        return 0;
    }
    CheckThinnedStore(store);
    CheckProfile(profile);
    fuzz::CheckWellFormed(fuzz::WriteDocuments([&](kml::Documents& documents) {
        const kml::Route route = store.far ? kml::Route::MainAndFar : kml::Route::MainAndHome;
        kml::WriteTripPlacemarks(documents, route, trip, catalogue::TripClass::DayTrip, store);
    }));
    fuzz::CheckWebPage([&](web::WebPage& page) {
        page.AddTrip(kml::Route::MainAndFar, trip, catalogue::TripClass::DayTrip, store, figures,
                     profile);
    });
    return 0;
}
