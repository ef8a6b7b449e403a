#include "kml/documents.hpp"

namespace omvo::kml {

Documents::Documents(const std::string&) {}  // TODO
Documents::~Documents() = default;
void Documents::WriteRouted(std::string_view) {}  // TODO
void Documents::WriteRoutedLine(std::string_view) {}  // TODO
void Documents::Close() {}  // TODO
std::string_view DocumentHeader() { return {}; }  // TODO
std::string_view DocumentFooter() { return {}; }  // TODO

}  // namespace omvo::kml
