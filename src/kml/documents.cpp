#include "kml/documents.hpp"

#include <iterator>
#include <utility>

namespace omvo::kml {

namespace {

// One line style of the header: its id and its colour (aabbggrr).
#define OMVO_KML_STYLE(id, color)    \
    "<Style id=\"" id "\">\r\n"      \
    "<LineStyle>\r\n"                \
    "<color>" color "</color>\r\n"   \
    "<width>6</width>\r\n"           \
    "</LineStyle>\r\n"               \
    "</Style>\r\n"

constexpr std::string_view kHeader =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n"
    "<kml xmlns=\"http://www.opengis.net/kml/2.2\""
    " xmlns:gx=\"http://www.google.com/kml/ext/2.2\""
    " xmlns:kml=\"http://www.opengis.net/kml/2.2\""
    " xmlns:atom=\"http://www.w3.org/2005/Atom\">\r\n"
    "<Document>\r\n"
    "<name>omvo-covering.kml</name>\r\n"
    OMVO_KML_STYLE("sn_day_trip", "99ff5500")
    OMVO_KML_STYLE("sn_night_trip", "99ff0055")
    OMVO_KML_STYLE("sn_short_voyage", "99ff0000")
    OMVO_KML_STYLE("sn_long_voyage", "997f0000")
    OMVO_KML_STYLE("sn_great_voyage", "99000055")
    OMVO_KML_STYLE("sn_brevet", "990000aa")
    "<Folder>\r\n"
    "<name>omvo-covering</name>\r\n"
    "<open>1</open>\r\n";

#undef OMVO_KML_STYLE

constexpr std::string_view kFooter =
    "</Folder>\r\n"
    "</Document>\r\n"
    "</kml>\r\n";

}  // namespace

namespace {

std::vector<std::string> SetPaths(const std::string& kmlpath, std::vector<std::string> extra) {
    std::vector<std::string> paths = {kmlpath + std::string(kMainDocumentName),
                                      kmlpath + std::string(kHomeDocumentName),
                                      kmlpath + std::string(kFarDocumentName)};
    paths.insert(paths.end(), std::make_move_iterator(extra.begin()),
                 std::make_move_iterator(extra.end()));
    return paths;
}

}  // namespace

Documents::Documents(const std::string& kmlpath, std::vector<std::string> extraPaths)
    : files_(SetPaths(kmlpath, std::move(extraPaths))) {}

void Documents::Write(Route route, std::string_view text) {
    if (text.empty()) return;
    files_.Write(0, text);
    if (route != Route::MainAndFar) files_.Write(1, text);
    if (route != Route::MainAndHome) files_.Write(2, text);
}

std::string_view DocumentHeader() { return kHeader; }
std::string_view DocumentFooter() { return kFooter; }

}  // namespace omvo::kml
