// Any bytes as an overlay file. The harness puts the line "file=<the overlay file itself>"
// in front of the input, so the input is its own coordinates source unless it names another
// one (the last value wins). The placemark must keep a document well-formed, and the web page
// data valid.
#include "base/errors.hpp"
#include "fuzz_support.hpp"
#include <optional>

#include "kml/overlay_placemarks.hpp"
#include "overlays/overlay_file.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace omvo;
    static const std::string path = fuzz::ScratchFolder() + "overlay.txt";
    std::string content = "file=" + path + "\n";
    content.append(fuzz::Bytes(data, size));
    fuzz::WriteScratchFile("overlay.txt", content);
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
