#include "run/run.hpp"

#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "base/console.hpp"
#include "base/platform.hpp"
#include "catalogue/trip_class.hpp"
#include "catalogue/trip_id.hpp"
#include "catalogue/trip_list.hpp"
#include "kml/documents.hpp"
#include "kml/overlay_placemarks.hpp"
#include "kml/trip_placemarks.hpp"
#include "overlays/overlay_file.hpp"
#include "run/settings.hpp"
#include "run/track_loader.hpp"
#include "tracks/thinning.hpp"
#include "web/web_page.hpp"

namespace omvo::run {

int Run(const std::string& settingsPath, const std::vector<std::string>& overlayPaths) {
    const Settings settings = ReadSettings(settingsPath);
    const catalogue::TripTable trips = catalogue::ReadTripList(settings.vplistname);
    if (trips.empty()) {
        base::Warning("no trip of the trip list " + settings.vplistname +
                      " has a GPS track; no document was written");
        return 0;
    }

    // The web page, when asked for, is one more file of the documents' set, replaced with them;
    // when not, what a run cut short left of an earlier one is finished all the same.
    std::vector<std::string> written, others;
    (settings.webpage ? written : others).emplace_back(web::kPageName);
    kml::Documents documents(settings.kmlpath, std::move(written), std::move(others));
    std::optional<web::WebPage> page;
    if (settings.webpage) {
        page.emplace([&documents](std::string_view text) { documents.WriteExtra(0, text); });
    }
    // The tracks load ahead on other threads from here on; the run takes them in trip order.
    std::vector<std::string> gpxPaths;
    gpxPaths.reserve(trips.size());
    for (const catalogue::TripRecord& trip : trips) {
        gpxPaths.push_back(settings.gpxpath + catalogue::TripFileId(trip) + "tr.gpx");
    }
    const unsigned cores = base::UsableProcessorCount();
    const tracks::ReadOptions options{.isoTimes = settings.isotimes,
                                      .cutGaps = settings.cutgaps,
                                      .routes = settings.routes};
    // The page's figures of each track are measured by the thread that loads it.
    TrackLoader loader(std::move(gpxPaths), options, cores, cores + 1, settings.webpage);

    documents.Write(kml::Route::AllDocuments, kml::DocumentHeader());

    // Overlay placemarks stand in the main and the far document, before every trip.
    for (const std::string& overlayPath : overlayPaths) {
        if (const std::optional<overlays::Overlay> overlay = overlays::ReadOverlay(overlayPath)) {
            documents.Write(kml::Route::MainAndFar, kml::MakeOverlayPlacemark(*overlay));
            if (page) page->AddOverlay(*overlay);
        }
    }

    for (std::size_t k = 0; k < trips.size(); ++k) {
        const catalogue::TripRecord& trip = trips[k];
        // Classified before its progress line starts: a warning about its dates then stands
        // on a line of its own.
        const catalogue::TripClass tripClass = catalogue::ClassifyTrip(trip);
        base::ConsoleText("Загрузка ");
        base::ConsoleBytes(catalogue::TripFileId(trip));
        base::ConsoleText("tr.gpx");
        std::unique_ptr<LoadedTrack> track = loader.Take(k);
        track->Report();
        tracks::TrackStore& store = track->store;
        const kml::Route route = store.far ? kml::Route::MainAndFar : kml::Route::MainAndHome;
        base::ConsoleText(" ok.  Фильтрация...");
        tracks::ThinTrack(store, settings.minspeed, settings.mincorner);
        base::ConsoleText(" ok.  Сохранение...");
        kml::WriteTripPlacemarks(documents, route, trip, tripClass, store);
        if (page) page->AddTrip(route, trip, tripClass, store, track->figures, track->profile);
        base::ConsoleText(" ok.\r\n");
        loader.Recycle(std::move(track));
    }

    documents.Write(kml::Route::AllDocuments, kml::DocumentFooter());
    if (page) page->Finish();
    documents.ReplacePrevious();
    return 0;
}

}  // namespace omvo::run
