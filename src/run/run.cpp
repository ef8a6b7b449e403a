#include "run/run.hpp"

#include <optional>

#include "base/console.hpp"
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
    documents.outputMode = kml::TOutputMode::AllDocuments;
    documents.WriteRouted(kml::DocumentHeader());

    documents.outputMode = kml::TOutputMode::MainAndFar;
    for (const std::string& overlayPath : overlayPaths) {
        if (const std::optional<overlays::Overlay> overlay = overlays::ReadOverlay(overlayPath)) {
            documents.WriteRouted(kml::MakeOverlayPlacemark(*overlay));
        }
    }

    tracks::TrackStore store;
    for (const catalogue::TripRecord& trip : trips) {
        const std::string tripId = catalogue::TripId(trip);
        base::ConsoleText("Загрузка ");
        base::ConsoleBytes(tripId);
        base::ConsoleText("tr.gpx");
        tracks::LoadTrack(settings.gpxpath + tripId + "tr.gpx", store);
        documents.outputMode =
            store.far ? kml::TOutputMode::MainAndFar : kml::TOutputMode::MainAndHome;
        base::ConsoleText(" ok.  Фильтрация...");
        tracks::ThinTrack(store, settings.minspeed, settings.mincorner);
        base::ConsoleText(" ok.  Сохранение...");
        kml::WriteTripPlacemarks(documents, trip, store);
        base::ConsoleText(" ok.\r\n");
    }

    documents.outputMode = kml::TOutputMode::AllDocuments;
    documents.WriteRouted(kml::DocumentFooter());
    documents.Close();
    return 0;
}

}  // namespace omvo::run
