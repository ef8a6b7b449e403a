#pragma once
// The three output documents. They are written beside their final names and replace them
// only when the whole run succeeded, so the map a viewer shows is always one complete run,
// whatever stops this one.

#include <array>
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>

#include "base/output_file.hpp"

namespace omvo::kml {

// Where a text goes: every text goes to the main document, and to the home and/or the far
// document as the route says.
enum class Route { AllDocuments, MainAndHome, MainAndFar };

inline constexpr std::string_view kMainDocumentName = "omvo-covering.kml";
inline constexpr std::string_view kHomeDocumentName = "omvo-covering_klg.kml";
inline constexpr std::string_view kFarDocumentName = "omvo-covering_far.kml";

// One document written under its temporary name (final name + ".tmp"), which a stop signal
// removes too. Unless committed, it removes itself when it goes.
class TemporaryDocument {
public:
    // Creates the temporary file. Throws InOutError.
    explicit TemporaryDocument(std::string finalPath);
    ~TemporaryDocument();
    TemporaryDocument(const TemporaryDocument&) = delete;
    TemporaryDocument& operator=(const TemporaryDocument&) = delete;

    void Write(std::string_view text) { file_.Write(text); }
    // Flushes and closes the file. Throws InOutError.
    void Close() { file_.Close(); }
    // Renames the closed file over its final name. Throws InOutError.
    void Commit();

    const std::string& finalPath() const { return finalPath_; }

private:
    std::string finalPath_;
    std::string tempPath_;
    base::OutputFile file_;
    bool committed_ = false;
};

class Documents {
public:
    // Creates the main, home and far document at kmlpath + name. Throws InOutError, also when
    // a final name is a directory; the documents created before a failure are removed.
    explicit Documents(const std::string& kmlpath);

    // Writes the text to the main document and to the documents of the route.
    void Write(Route route, std::string_view text);

    // Creates one more file at finalPath, replaced together with the documents; returns it for
    // writing. Throws InOutError, also when finalPath is a directory.
    TemporaryDocument& AddFile(std::string finalPath);

    // Closes the added file, far, home and main, then renames them over their final names in
    // that order. Throws InOutError; a final name that became a directory is found before the
    // first rename. Files not closed by then remove themselves.
    void Close();

private:
    // Throws InOutError when a final name is a directory, or on Windows a file held open
    // against replacing: renaming over it would fail after the documents before it were
    // replaced, leaving documents of two different runs.
    static void RequireReplaceable(std::initializer_list<std::string> finalPaths);

    std::optional<TemporaryDocument> main_, home_, far_, added_;
};

// A line style of the documents: its id and its colour as KML writes it (aabbggrr).
struct LineStyle {
    std::string_view id;
    std::string_view color;
};

// The six line styles of the header, in its order, all of one width.
inline constexpr std::array<LineStyle, 6> kLineStyles = {{
    {"sn_day_trip", "99ff5500"},
    {"sn_night_trip", "99ff0055"},
    {"sn_short_voyage", "99ff0000"},
    {"sn_long_voyage", "997f0000"},
    {"sn_great_voyage", "99000055"},
    {"sn_brevet", "990000aa"},
}};
inline constexpr std::string_view kLineWidth = "6";

// The 43-line header with the six line styles, and the 3-line footer, each line CR LF.
std::string_view DocumentHeader();
std::string_view DocumentFooter();

}  // namespace omvo::kml
