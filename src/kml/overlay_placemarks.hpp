#pragma once
// Overlay placemark files: each describes one extra line placemark whose coordinates are
// copied from another KML file.

#include <string>

namespace omvo::kml {

struct OverlayDefinition {
    std::string name;   // CP1251
    std::string descr;  // CP1251
    std::string style;
    std::string file;   // the coordinates source file
};

// Reads an overlay file; true when it is complete (all four values non-empty). A missing
// file is not complete.
bool ReadOverlayFile(const std::string& path, OverlayDefinition& definition);

// The text of every coordinates element of the source file, joined; writes
// "Загрузка <path>", one "." per "<coordinates>" line and "ok" to the console.
std::string LoadOverlayCoordinates(const std::string& path);

// The nine-line placemark of an overlay file, or the empty text (with a warning on
// standard error) when the file is missing or incomplete.
std::string MakeOverlayPlacemark(const std::string& path);

}  // namespace omvo::kml
