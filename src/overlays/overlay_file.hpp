#pragma once
// Overlay files: each describes one extra line placemark (name, description, style) whose
// coordinates are copied from the coordinates elements of another file, usually KML.

#include <optional>
#include <string>

namespace omvo::overlays {

// The values of an overlay file's keys: the name and the description in UTF-8, the style
// and the path of the coordinates source file in CP1251 (see ReadOverlayFile).
struct OverlayDefinition {
    std::string name;
    std::string descr;
    std::string style;
    std::string file;   // the coordinates source file

    bool operator==(const OverlayDefinition&) const = default;
};

struct Overlay {
    OverlayDefinition definition;
    std::string coordinates;  // the source's coordinates texts, joined; empty without source
};

// Reads the keys of an overlay file into `definition`; returns true when it is complete (all
// four values non-empty). A missing file (or a folder) is not complete; `found`, when given,
// tells whether a file was there: the path is looked at once, by opening it. The file is
// read as UTF-8 when it begins with the UTF-8 byte-order mark, or when it is valid UTF-8
// throughout and holds a character beyond ASCII; otherwise as CP1251. Either way the values
// are those the same text saved in CP1251 gives: a character CP1251 lacks is kept, in UTF-8.
bool ReadOverlayFile(const std::string& path, OverlayDefinition& definition,
                     bool* found = nullptr);

// Returns the text of every coordinates element of the source file, joined. Shows
// "Загрузка <path>", one "." per "<coordinates>" line and "ok" on the console. Nothing, and
// shows nothing, when no file is at the path (nothing, or a directory).
std::optional<std::string> LoadOverlayCoordinates(const std::string& path);

// Returns an overlay file with the coordinates of its source, or nothing, with a warning,
// when the file is missing or incomplete. A missing source is named in a warning and gives
// no coordinates.
std::optional<Overlay> ReadOverlay(const std::string& path);

}  // namespace omvo::overlays
