// Any bytes as an overlay file. The harness puts the line "file=<the overlay file itself>"
// in front of the input, so the input is its own coordinates source unless it names another
// one (the last value wins). The name and description must be valid UTF-8, and a file read
// as CP1251 must give the same values saved as UTF-8 (with the byte-order mark or without,
// by the input's length). The placemark must keep a document well-formed, and the web page
// data valid.
#include <cstdlib>
#include <optional>

#include "base/errors.hpp"
#include "fuzz_support.hpp"
#include "kml/overlay_placemarks.hpp"
#include "overlays/overlay_file.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace omvo;
    static const std::string path = fuzz::ScratchFolder() + "overlay.txt";
    std::string content = "file=" + path + "\n";
    content.append(fuzz::Bytes(data, size));
    fuzz::WriteScratchFile("overlay.txt", content);
    overlays::OverlayDefinition definition;
    try {
        overlays::ReadOverlayFile(path, definition);
        if (fuzz::CharsetOf(path) == base::Charset::Cp1251) {
            overlays::OverlayDefinition fromUtf8;
            overlays::ReadOverlayFile(
                fuzz::WriteScratchFile("overlay-utf8.txt", fuzz::SavedAsUtf8(content, size % 2 == 1)),
                fromUtf8);
            if (fromUtf8 != definition) std::abort();
        }
    } catch (const base::InOutError&) {
        return 0;
    }
    fuzz::CheckUtf8("overlay name", definition.name);
    fuzz::CheckUtf8("overlay description", definition.descr);
    std::string placemark;
    try {
        if (const std::optional<overlays::Overlay> overlay = overlays::ReadOverlay(path)) {
            placemark = kml::MakeOverlayPlacemark(*overlay);
            fuzz::CheckWebPage([&](web::WebPage& page) { page.AddOverlay(*overlay); });
        }
    } catch (const base::RunStop&) {
        return 0;
    } catch (const base::InOutError&) {
        return 0;
    }
    std::string document(kml::DocumentHeader());
    document += placemark;
    document += kml::DocumentFooter();
    fuzz::CheckWellFormed(document);
    return 0;
}
