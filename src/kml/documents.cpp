#include "kml/documents.hpp"

#include <cerrno>
#include <cstdio>
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

Documents::Documents(const std::string& kmlpath) {
    const std::pair<Document*, std::string_view> documents[] = {
        {&main_, kMainDocumentName}, {&home_, kHomeDocumentName}, {&far_, kFarDocumentName}};
    for (const auto& [document, name] : documents) {
        document->finalPath = kmlpath + std::string(name);
        document->tempPath = document->finalPath + ".tmp";
    }
    try {
        // A run whose documents could never replace their final names stops before it
        // begins.
        RequireReplaceable();
        for (const auto& [document, name] : documents) {
            base::RegisterTemporaryFile(document->tempPath);
            document->file = std::make_unique<base::OutputFile>(document->tempPath);
        }
    } catch (...) {
        // The destructor does not run for a half-made object: clean up here.
        Discard();
        throw;
    }
}

Documents::~Documents() {
    // The run stopped: the temporary files go, the documents of the last good run stay.
    if (!done_) Discard();
}

void Documents::Discard() {
    for (Document* document : {&far_, &home_, &main_}) {
        if (document->file != nullptr) {
            document->file.reset();  // closes silently
            std::remove(document->tempPath.c_str());
        }
        base::ForgetTemporaryFile(document->tempPath);
    }
}

void Documents::RequireReplaceable() const {
    // Renaming a file over a directory fails; finding that out after one document was
    // replaced would leave documents of two different runs.
    for (const Document* document : {&far_, &home_, &main_}) {
        if (base::IsDirectory(document->finalPath)) {
            base::ThrowIoError(EISDIR, document->finalPath);
        }
    }
}

void Documents::WriteRouted(std::string_view text) {
    if (text.empty()) return;
    main_.file->Write(text);
    if (outputMode != TOutputMode::MainAndFar) home_.file->Write(text);
    if (outputMode != TOutputMode::MainAndHome) far_.file->Write(text);
}

void Documents::WriteRoutedLine(std::string_view text) {
    WriteRouted(text);
    WriteRouted("\r\n");
}

void Documents::Close() {
    if (done_) return;
    for (Document* document : {&far_, &home_, &main_}) document->file->Close();
    RequireReplaceable();
    // A stop signal waits until all three are renamed: the documents always come from one
    // run.
    base::StopSignalsHeld held;
    for (Document* document : {&far_, &home_, &main_}) {
        errno = 0;
        if (std::rename(document->tempPath.c_str(), document->finalPath.c_str()) != 0) {
            base::ThrowIoError(errno != 0 ? errno : EIO, document->finalPath);
        }
        document->file.reset();
        base::ForgetTemporaryFile(document->tempPath);
    }
    done_ = true;
}

std::string_view DocumentHeader() { return kHeader; }
std::string_view DocumentFooter() { return kFooter; }

}  // namespace omvo::kml
