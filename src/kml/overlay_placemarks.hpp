#pragma once
// The line placemark of an overlay file.

#include <string>

#include "overlays/overlay_file.hpp"

namespace omvo::kml {

// Returns the nine-line placemark: the overlay's name and description in UTF-8, its style and
// the coordinates of its source, each made safe for the document.
std::string MakeOverlayPlacemark(const overlays::Overlay& overlay);

}  // namespace omvo::kml
