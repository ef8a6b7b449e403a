#include "kml/documents.hpp"

#include <cerrno>
#include <utility>

#include "base/errors.hpp"
#include "base/platform.hpp"

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

TemporaryDocument::TemporaryDocument(std::string finalPath)
    : finalPath_(std::move(finalPath)),
      tempPath_(finalPath_ + ".tmp"),
      // Registered before it exists, so no moment is left in which a stop signal leaves it.
      file_((base::RegisterTemporaryFile(tempPath_), tempPath_)) {}

TemporaryDocument::~TemporaryDocument() {
    if (!committed_) {
        // The run stopped: the temporary file goes, the document of the last good run stays.
        file_.Discard();
        base::RemoveFile(tempPath_);
    }
    base::ForgetTemporaryFile(tempPath_);
}

void TemporaryDocument::Commit() {
    errno = 0;
    if (!base::RenameReplacing(tempPath_, finalPath_)) {
        base::ThrowIoError(errno != 0 ? errno : EIO, finalPath_);
    }
    committed_ = true;
}

Documents::Documents(const std::string& kmlpath) {
    const std::string finalPaths[3] = {kmlpath + std::string(kMainDocumentName),
                                       kmlpath + std::string(kHomeDocumentName),
                                       kmlpath + std::string(kFarDocumentName)};
    RequireReplaceable(finalPaths);
    // Should one fail, the ones made before it remove themselves.
    main_.emplace(finalPaths[0]);
    home_.emplace(finalPaths[1]);
    far_.emplace(finalPaths[2]);
}

void Documents::RequireReplaceable(const std::string (&finalPaths)[3]) {
    for (const std::string& path : finalPaths) {
        errno = 0;
        if (!base::MayBeReplaced(path)) base::ThrowIoError(errno != 0 ? errno : EACCES, path);
    }
}

void Documents::Write(Route route, std::string_view text) {
    if (text.empty()) return;
    main_->Write(text);
    if (route != Route::MainAndFar) home_->Write(text);
    if (route != Route::MainAndHome) far_->Write(text);
}

void Documents::Close() {
    for (TemporaryDocument* document : {&*far_, &*home_, &*main_}) document->Close();
    RequireReplaceable({far_->finalPath(), home_->finalPath(), main_->finalPath()});
    // A stop signal waits until all three are renamed: the documents always come from one
    // run.
    base::StopSignalsHeld held;
    for (TemporaryDocument* document : {&*far_, &*home_, &*main_}) document->Commit();
}

std::string_view DocumentHeader() { return kHeader; }
std::string_view DocumentFooter() { return kFooter; }

}  // namespace omvo::kml
