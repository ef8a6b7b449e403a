#include "kml/trip_placemarks.hpp"

#include <string>
#include <string_view>
#include <vector>

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
    const int segmentCount = store.segmentCount;
    const std::vector<tracks::TrackPoint>& points = store.points;
    if (segmentCount <= 0 || points.empty()) return;

    // Asked once per trip: the same for every segment.
    const std::string name = EscapeText(DropInvalidUtf8(catalogue::TripId(trip)));
    const std::string description = CdataText(DropInvalidUtf8(TripDescription(trip)));
    const std::string styleId = EscapeText(catalogue::StyleIdOf(tripClass));

    // One placemark is built in this text and routed at once; the text keeps its capacity
    // from segment to segment.
    std::string text;
    text.reserve(256 + name.size() + description.size() + 48 * points.size());

    std::size_t next = 0;  // the first point not yet written
    for (int segment = 1; segment <= segmentCount; ++segment) {
        text.clear();
        text += "<Placemark>\r\n<name>";
        text += name;
        AppendSegmentNumber(text, segment, segmentCount);
        text += "</name>\r\n<description><![CDATA[";
        text += description;
        text += "]]></description>\r\n<styleUrl>#";
        text += styleId;
        text += "</styleUrl>\r\n<LineString>\r\n<tessellate>1</tessellate>\r\n<coordinates>\r\n";

        const std::size_t end = store.SegmentEnd(next);
        for (; next < end; ++next) {
            if (points[next].kept) AppendTuple(text, points[next]);
        }

        text += "</coordinates>\r\n</LineString>\r\n</Placemark>\r\n";
        documents.Write(route, text);
    }
}

}  // namespace omvo::kml
