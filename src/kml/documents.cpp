#include "kml/documents.hpp"

#include <cerrno>
#include <utility>

#include "base/errors.hpp"
#include "base/platform.hpp"

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
    for (const LineStyle& style : kLineStyles) {
        header.append("<Style id=\"").append(style.id).append("\">\r\n<LineStyle>\r\n<color>");
        header.append(style.color).append("</color>\r\n<width>").append(kLineWidth);
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
    RequireReplaceable({finalPaths[0], finalPaths[1], finalPaths[2]});
    // Should one fail, the ones made before it remove themselves.
    main_.emplace(finalPaths[0]);
    home_.emplace(finalPaths[1]);
    far_.emplace(finalPaths[2]);
}

void Documents::RequireReplaceable(std::initializer_list<std::string> finalPaths) {
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

TemporaryDocument& Documents::AddFile(std::string finalPath) {
    RequireReplaceable({finalPath});
    return added_.emplace(std::move(finalPath));
}

void Documents::Close() {
    if (added_) added_->Close();
    for (TemporaryDocument* document : {&*far_, &*home_, &*main_}) document->Close();
    if (added_) RequireReplaceable({added_->finalPath()});
    RequireReplaceable({far_->finalPath(), home_->finalPath(), main_->finalPath()});
    // A stop signal waits until all are renamed: the files always come from one run.
    base::StopSignalsHeld held;
    if (added_) added_->Commit();
    for (TemporaryDocument* document : {&*far_, &*home_, &*main_}) document->Commit();
}

std::string_view DocumentHeader() {
    static const std::string header = MakeHeader();
    return header;
}
std::string_view DocumentFooter() { return kFooter; }

}  // namespace omvo::kml
