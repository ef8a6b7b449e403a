#pragma once
// The club's map as one web page beside the documents: what the run draws into them (the
// thinned segments of every trip with its class, dates, heading and description and its home
// or far place, and the overlays), written as data into a single HTML file together with the
// map library, the sanitizer and the page's own script, so the file needs nothing beside it.

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "catalogue/trip_class.hpp"
#include "catalogue/trip_list.hpp"
#include "kml/documents.hpp"
#include "overlays/overlay_file.hpp"
#include "tracks/track_figures.hpp"
#include "tracks/track_store.hpp"

namespace omvo::web {

inline constexpr std::string_view kPageName = "omvo-covering.html";
// The base map's tiles: the only thing the page loads.
inline constexpr std::string_view kTileServer = "https://tile.openstreetmap.org";

// The page, written in order through the function it is given: its start when made, one
// entry per overlay and trip as they are added, and its end. The bytes depend on nothing but
// what is added: no time, no path, no machine.
//
// The data block is one JSON object (page.js reads it; its keys are described there too):
//   "tiles"    the address pattern of the base map's tiles
//   "layers"   the three maps, one document each, in the order of the page's switch: "bit"
//              (how an item's "m" names it), "name" (the switch's)
//   "classes"  the six trip classes in the order of TripClass: "id" (the documents' style
//              id), "name" (the legend's), "color" ("#rrggbb"), "alpha" (0 to 255), "width"
//   "items"    the overlays, then the trips, in the documents' order; each has
//     "id"  the trip id (trips only)         "n"  the overlay's name (overlays only)
//     "k"   the index of its class in "classes", -1 for an overlay of no trip class's style
//     "m"   the layers it is drawn in: 1 all trips, 2 the home region, 4 the far trips
//     "t"   the first and last day of the trip's dates line as yyyymmdd, when it reads as
//           dates (trips only)
//     "d"   the description in pieces: the even ones (from 0) its own text, the odd ones the
//           parts of the trip's heading, so the heading is not written twice
//     "h"   the heading, only when the description does not hold it (then "d" is one piece)
//     "f"   the trip's figures, measured on its whole track (trips only): [length in tenths of
//           a km, climb m, descent m, moving s, total s, segments, days]; climb and descent
//           are null without elevations, the times without times, the days when the dates
//           line gives none
//     "p"   the elevation profile, when the track has one: [lowest m, highest m, places], the
//           places as tracks::ElevationProfile's samples (one character each)
//     "s"   the segments as the documents cut them, each the kept points as latitude and
//           longitude in hundred-thousandths of a degree (rounded): the first point as it is,
//           each later one as its difference from the point before
class WebPage {
public:
    using Writer = std::function<void(std::string_view)>;

    // Writes the start of the page.
    explicit WebPage(Writer writer);

    // Writes the overlay's entry, drawn in the main and the far layer.
    void AddOverlay(const overlays::Overlay& overlay);

    // Writes the trip's entry: its segments as the documents of the route hold them, with the
    // kept points, its class, dates, heading and description, and the figures and profile
    // measured on its whole track.
    void AddTrip(kml::Route route, const catalogue::TripRecord& trip,
                 catalogue::TripClass tripClass, const tracks::TrackStore& store,
                 const tracks::TrackFigures& figures, const tracks::ElevationProfile& profile);

    // Writes the end of the page: the scripts, and what a reader without scripts sees.
    void Finish();

private:
    // Starts an entry: empties entry_ and opens the object in it, after a comma and a line
    // break but for the first entry.
    void StartEntry();

    Writer write_;
    std::string entry_;  // the entry being made; keeps its capacity
    bool firstEntry_ = true;
    long tripCount_ = 0;
};

// Appends the UTF-8 text as a JSON string that may stand inside an HTML script block: quotes,
// backslashes, control characters, "<", ">", "&", U+2028 and U+2029 written as escapes,
// invalid UTF-8 dropped.
void AppendJsonString(std::string& out, std::string_view text);

// Returns the description in the pieces of the data's "d": the even pieces the description's
// own text, the odd ones the heading's parts, so that all joined give the description and the
// odd ones joined the heading. Empty when the description does not hold the heading as at
// most two parts in order, the first at its start.
std::vector<std::string_view> DescriptionPieces(std::string_view description,
                                                std::string_view heading);

// Appends points to a JSON array as the data's "s" holds them: "lat,lon" in hundred-thousandths
// of a degree, the first point as it is, every later one as its difference from the one before.
class PointWriter {
public:
    explicit PointWriter(std::string& out) : out_(out) {}

    // Appends the point; returns false, appending nothing, when a value is not finite or lies
    // beyond 1000 degrees: no place on Earth.
    bool Append(double lat, double lon);

private:
    std::string& out_;
    bool first_ = true;
    std::int64_t lat_ = 0;
    std::int64_t lon_ = 0;
};

// Appends the tuples of a KML coordinates text ("lon,lat[,ele] ...") through the writer,
// leaving out tuples that are not two numbers it takes.
void AppendCoordinates(PointWriter& writer, std::string_view coordinates);

}  // namespace omvo::web
