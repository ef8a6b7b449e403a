#include "kml/cyrillic.hpp"

namespace omvo::kml {

std::string Cp1251ToUtf8(std::string_view text) { return std::string(text); }  // TODO

}  // namespace omvo::kml
