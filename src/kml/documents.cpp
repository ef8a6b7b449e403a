#include "kml/documents.hpp"

#include <iterator>
#include <utility>

#include "catalogue/trip_class.hpp"

namespace omvo::kml {

namespace {

// The header: the document, its six line styles and the start of the folder.
std::string MakeHeader() {
    std::string header =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n"
        "<kml xmlns=\"http://www.opengis.net/kml/2.2\""
        " xmlns:gx=\"http://www.google.com/kml/ext/2.2\""
        " xmlns:kml=\"http://www.opengis.net/kml/2.2\""
        " xmlns:atom=\"http://www.w3.org/2005/Atom\">\r\n"
        "<Document>\r\n"
        "<name>omvo-covering.kml</name>\r\n";
    for (const catalogue::ClassStyle& style : catalogue::kClassStyles) {
        header.append("<Style id=\"").append(style.styleId).append("\">\r\n<LineStyle>\r\n<color>");
        header.append(style.kmlColor).append("</color>\r\n<width>").append(style.width);
        header.append("</width>\r\n</LineStyle>\r\n</Style>\r\n");
    }
    header +=
        "<Folder>\r\n"
        "<name>omvo-covering</name>\r\n"
        "<open>1</open>\r\n";
    return header;
}

constexpr std::string_view kFooter =
    "</Folder>\r\n"
    "</Document>\r\n"
    "</kml>\r\n";

base::OutputSetNames SetNames(const std::string& kmlpath, std::vector<std::string> extra,
                              std::vector<std::string> others) {
    base::OutputSetNames names{.prefix = kmlpath,
                               .files = {std::string(kMainDocumentName),
                                         std::string(kHomeDocumentName),
                                         std::string(kFarDocumentName)},
                               .others = std::move(others),
                               .record = std::string(kRecordName)};
    names.files.insert(names.files.end(), std::make_move_iterator(extra.begin()),
                       std::make_move_iterator(extra.end()));
    return names;
}

}  // namespace

Documents::Documents(const std::string& kmlpath, std::vector<std::string> extraNames,
                     std::vector<std::string> otherNames)
    : files_(SetNames(kmlpath, std::move(extraNames), std::move(otherNames))) {}

void Documents::Write(Route route, std::string_view text) {
    if (text.empty()) return;
    files_.Write(0, text);
    if (route != Route::MainAndFar) files_.Write(1, text);
    if (route != Route::MainAndHome) files_.Write(2, text);
}

std::string_view DocumentHeader() {
    static const std::string header = MakeHeader();
    return header;
}
std::string_view DocumentFooter() { return kFooter; }

}  // namespace omvo::kml
