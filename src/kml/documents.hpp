#pragma once
// The three output documents. They are written beside their final names and replace them
// only when the whole run succeeded, so the map a viewer shows is always one complete run,
// whatever stops this one.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "base/output_set.hpp"

namespace omvo::kml {

// Where a text goes: every text goes to the main document, and to the home and/or the far
// document as the route says.
enum class Route { AllDocuments, MainAndHome, MainAndFar };

inline constexpr std::string_view kMainDocumentName = "omvo-covering.kml";
inline constexpr std::string_view kHomeDocumentName = "omvo-covering_klg.kml";
inline constexpr std::string_view kFarDocumentName = "omvo-covering_far.kml";
// The commit records of the documents' set: omvo-covering.commit, omvo-covering.undo.
inline constexpr std::string_view kRecordName = "omvo-covering";

// The documents, and any extra files of the run (the web page), as one output set: a second
// run on the same documents is refused; each is written under a temporary name created
// anew beside its final name, and all replace their earlier versions together only when the
// whole run succeeded, so the map a viewer shows is always one complete run, whatever stops
// this one.
class Documents {
public:
    // Creates the main, home and far document at kmlpath + name, and one more file of the same
    // set at kmlpath + each of `extraNames`. `otherNames` are the extra files an earlier run
    // may have written there and this one does not: what a run cut short left of them is
    // finished too. Throws InOutError, also when a final name is a folder; writes a message
    // and throws RunStop(1) when another run holds their lock. The files created before a
    // failure are removed.
    explicit Documents(const std::string& kmlpath, std::vector<std::string> extraNames = {},
                       std::vector<std::string> otherNames = {});

    // Writes the text to the main document and to the documents of the route.
    void Write(Route route, std::string_view text);

    // Appends bytes to the extra file k (counted from 0 in the order of `extraPaths`).
    void WriteExtra(std::size_t k, std::string_view bytes) { files_.Write(kDocuments + k, bytes); }

    // Writes every file to the disk, then replaces the documents (and extra files) of the
    // previous run with them, all or none. Throws InOutError; the previous ones then stay
    // as they were. Unless this succeeded, the temporary files are removed when the
    // documents go.
    void ReplacePrevious() { files_.Commit(); }

private:
    static constexpr std::size_t kDocuments = 3;  // main, home, far; then the extra files

    base::OutputSet files_;
};

// The 43-line header with the line styles of the six trip classes, and the 3-line footer, each line CR LF.
std::string_view DocumentHeader();
std::string_view DocumentFooter();

}  // namespace omvo::kml
