#include "run/run.hpp"

#include <optional>

#include "base/console.hpp"
#include "catalogue/trip_class.hpp"
#include "catalogue/trip_id.hpp"
#include "kml/trip_description.hpp"
#include "catalogue/trip_list.hpp"
#include "kml/documents.hpp"
#include "kml/overlay_placemarks.hpp"
#include "kml/trip_placemarks.hpp"
#include "overlays/overlay_file.hpp"
#include "run/settings.hpp"
#include "tracks/gpx_reader.hpp"
#include "tracks/thinning.hpp"

namespace omvo::run {

int Run(const std::string& settingsPath, const std::vector<std::string>& overlayPaths) {
    const Settings settings = ReadSettings(settingsPath);
    const catalogue::TripTable trips = catalogue::ReadTripList(settings.vplistname);
    if (trips.empty()) {
        base::Warning("no trip of the trip list " + settings.vplistname +
                      " has a GPS track; no document was written");
        return 0;
    }

    kml::Documents documents(settings.kmlpath);
    documents.Write(kml::Route::AllDocuments, kml::DocumentHeader());

    // Overlay placemarks stand in the main and the far document, before every trip.
    for (const std::string& overlayPath : overlayPaths) {
        if (const std::optional<overlays::Overlay> overlay = overlays::ReadOverlay(overlayPath)) {
            documents.Write(kml::Route::MainAndFar, kml::MakeOverlayPlacemark(*overlay));
        }
    }

    tracks::TrackStore store;
    for (const catalogue::TripRecord& trip : trips) {
        const std::string tripId = catalogue::TripId(trip);
        // Classified before its progress line starts: a warning about its dates then stands
        // on a line of its own.
        const catalogue::TripClass tripClass = catalogue::ClassifyTrip(trip);
        base::ConsoleText("Загрузка ");
        base::ConsoleBytes(tripId);
        base::ConsoleText("tr.gpx");
        tracks::LoadTrack(settings.gpxpath + tripId + "tr.gpx", store);
        const kml::Route route = store.far ? kml::Route::MainAndFar : kml::Route::MainAndHome;
        base::ConsoleText(" ok.  Фильтрация...");
        tracks::ThinTrack(store, settings.minspeed, settings.mincorner);
        base::ConsoleText(" ok.  Сохранение...");
        kml::WriteTripPlacemarks(documents, route, trip, tripClass, store);
        base::ConsoleText(" ok.\r\n");
    }

    documents.Write(kml::Route::AllDocuments, kml::DocumentFooter());
    documents.Close();
    return 0;
}

}  // namespace omvo::run
