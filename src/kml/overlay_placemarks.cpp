#include "kml/overlay_placemarks.hpp"

#include "kml/xml_text.hpp"

namespace omvo::kml {

std::string MakeOverlayPlacemark(const overlays::Overlay& overlay) {
    const overlays::OverlayDefinition& definition = overlay.definition;
    const std::string name = EscapeText(DropInvalidUtf8(definition.name));
    const std::string descr = CdataText(DropInvalidUtf8(definition.descr));
    const std::string style = EscapeText(DropInvalidUtf8(definition.style));
    const std::string coordinates = EscapeText(DropInvalidUtf8(overlay.coordinates));

    std::string text;
    text.reserve(160 + name.size() + descr.size() + style.size() + coordinates.size());
    text += "<Placemark>\r\n<name>";
    text += name;
    text += "</name>\r\n<description><![CDATA[";
    text += descr;
    text += "]]></description>\r\n<styleUrl>#";
    text += style;
    text += "</styleUrl>\r\n<LineString>\r\n<tessellate>1</tessellate>\r\n<coordinates>";
    text += coordinates;
    text += "</coordinates>\r\n</LineString>\r\n</Placemark>\r\n";
    return text;
}

}  // namespace omvo::kml
