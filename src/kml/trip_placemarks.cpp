#include "kml/trip_placemarks.hpp"

#include <string>
#include <string_view>

#include "base/decimal.hpp"
#include "catalogue/trip_class.hpp"
#include "catalogue/trip_id.hpp"
#include "kml/trip_description.hpp"
#include "kml/xml_text.hpp"

namespace omvo::kml {

namespace {

// "lon,lat,ele " — longitude first, as KML wants it; at most 48 characters.
void AppendTuple(std::string& text, const tracks::TrackPoint& point) {
    point.lon.AppendTo(text);
    text += ',';
    point.lat.AppendTo(text);
    text += ',';
    point.ele.AppendTo(text);
    text += ' ';
}

}  // namespace

void AppendSegmentNumber(std::string& name, int segment, int segmentCount) {
    if (segmentCount < 2) return;
    name += '(';
    base::AppendInt(name, segment);
    name += '/';
    base::AppendInt(name, segmentCount);
    name += ')';
}

void WriteTripPlacemarks(Documents& documents, Route route, const catalogue::TripRecord& trip,
                         catalogue::TripClass tripClass, const tracks::TrackStore& store) {
    if (!HasPlacemarks(store)) return;

    // Asked once per trip: the same for every segment.
    const std::string name = EscapeText(DropInvalidUtf8(catalogue::TripId(trip)));
    const std::string description = CdataText(DropInvalidUtf8(TripDescription(trip)));
    const std::string styleId = EscapeText(catalogue::StyleIdOf(tripClass));

    // One placemark is built in this text and routed at once; the text keeps its capacity
    // from segment to segment.
    std::string text;
    text.reserve(256 + name.size() + description.size() + 48 * store.points.size());
    WalkSegments(
        store,
        [&](int segment, int segmentCount) {
            text.clear();
            text += "<Placemark>\r\n<name>";
            text += name;
            AppendSegmentNumber(text, segment, segmentCount);
            text += "</name>\r\n<description><![CDATA[";
            text += description;
            text += "]]></description>\r\n<styleUrl>#";
            text += styleId;
            text += "</styleUrl>\r\n<LineString>\r\n<tessellate>1</tessellate>\r\n";
            text += "<coordinates>\r\n";
        },
        [&](const tracks::TrackPoint& point) { AppendTuple(text, point); },
        [&] {
            text += "</coordinates>\r\n</LineString>\r\n</Placemark>\r\n";
            documents.Write(route, text);
        });
}

}  // namespace omvo::kml
