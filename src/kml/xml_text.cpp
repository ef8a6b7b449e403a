#include "kml/xml_text.hpp"

namespace omvo::kml {

std::string EscapeText(std::string_view text) { return std::string(text); }  // TODO
std::string CdataText(std::string_view text) { return std::string(text); }  // TODO
std::string DropInvalidUtf8(std::string_view text) { return std::string(text); }  // TODO

}  // namespace omvo::kml
