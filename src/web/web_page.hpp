#pragma once
// The club's map as one web page beside the documents: what the run draws into them (the
// thinned segments of every trip with its class, name, description and home or far place,
// and the overlays), written as data into a single HTML file together with the map library,
// the sanitizer and the page's own script, so the file needs nothing beside it.

#include <functional>
#include <string>
#include <string_view>

#include "catalogue/trip_class.hpp"
#include "catalogue/trip_list.hpp"
#include "kml/documents.hpp"
#include "overlays/overlay_file.hpp"
#include "tracks/track_store.hpp"

namespace omvo::web {

inline constexpr std::string_view kPageName = "omvo-covering.html";

// The page, written in order through the function it is given: its start when made, one
// entry per overlay and trip as they are added, and its end. The bytes depend on nothing but
// what is added: no time, no path, no machine.
class WebPage {
public:
    using Writer = std::function<void(std::string_view)>;

    // Writes the start of the page.
    explicit WebPage(Writer writer);

    // Writes the overlay's entry, drawn in the main and the far layer.
    void AddOverlay(const overlays::Overlay& overlay);

    // Writes the trip's entry: its segments as the documents of the route hold them, with the
    // kept points, the names, the class and the description.
    void AddTrip(kml::Route route, const catalogue::TripRecord& trip,
                 catalogue::TripClass tripClass, const tracks::TrackStore& store);

    // Writes the end of the page.
    void Finish();

private:
    // Starts the entry of a trip (with its id) or of an overlay (without), up to its
    // segments: "{" or ",\n{", then "id", "h" (the heading or the overlay's name), "d" (the
    // description), "k" (the style's index among the six, or -1), "m" (the layers, one bit a
    // document) and the key "s".
    void StartEntry(const std::string* tripId, std::string_view heading,
                    std::string_view description, int styleIndex, int layers);

    Writer write_;
    std::string entry_;  // the entry being made; keeps its capacity
    bool firstEntry_ = true;
};

// Appends the UTF-8 text as a JSON string that may stand inside an HTML script block: quotes,
// backslashes, control characters, "<", ">", "&", U+2028 and U+2029 written as escapes,
// invalid UTF-8 dropped.
void AppendJsonString(std::string& out, std::string_view text);

// Appends a decimal text ("-12.5", "5.", ".5", "007") as a JSON number; returns false,
// appending nothing, for any other text.
bool AppendJsonDecimal(std::string& out, std::string_view text);

// Appends the tuples of a KML coordinates text ("lon,lat[,ele] ...") as "lat,lon" JSON number
// pairs separated by commas, leaving out tuples that are not two finite numbers.
void AppendCoordinatePairs(std::string& out, std::string_view coordinates);

}  // namespace omvo::web
