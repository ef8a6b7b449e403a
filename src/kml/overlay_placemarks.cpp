#include "kml/overlay_placemarks.hpp"

namespace omvo::kml {

bool ReadOverlayFile(const std::string&, TOverlayDefinition&) { return false; }  // TODO
std::string LoadOverlayCoordinates(const std::string&) { return {}; }  // TODO
std::string MakeOverlayPlacemark(const std::string&) { return {}; }  // TODO

}  // namespace omvo::kml
