#pragma once
// The three output documents and the routing of every text to them. The documents are
// written under temporary names (final name + ".tmp") and replace the final files only when
// the run completes; a run that stops, by an error or by a stop signal, leaves the documents
// of the last good run untouched.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "base/output_file.hpp"

namespace omvo::kml {

enum class TOutputMode : std::uint8_t {
    AllDocuments = 0,  // main, home, far
    MainAndHome = 1,
    MainAndFar = 2,
};

inline constexpr std::string_view kMainDocumentName = "omvo-covering.kml";
inline constexpr std::string_view kHomeDocumentName = "omvo-covering_klg.kml";
inline constexpr std::string_view kFarDocumentName = "omvo-covering_far.kml";

class Documents {
public:
    // Creates the main, home and far document (as temporary files) at kmlpath + name, each
    // registered for removal by a stop signal. Throws InOutError, also when a final name is
    // a directory; the documents created before a failure are removed.
    explicit Documents(const std::string& kmlpath);
    // Removes the temporary files when Close was not reached.
    ~Documents();
    Documents(const Documents&) = delete;
    Documents& operator=(const Documents&) = delete;

    TOutputMode outputMode = TOutputMode::AllDocuments;

    // Writes the text to the main document, and to home and/or far by outputMode.
    void WriteRouted(std::string_view text);
    // WriteRouted of the text followed by CR LF.
    void WriteRoutedLine(std::string_view text);

    // Closes far, home and main, then renames them over their final names (far, home,
    // main). Throws InOutError; a final name that became a directory is found before the
    // first rename.
    void Close();

private:
    // Closes and removes the temporary files created so far.
    void Discard();
    // Throws InOutError when a final name is a directory.
    void RequireReplaceable() const;

    struct Document {
        std::string finalPath;
        std::string tempPath;
        std::unique_ptr<base::OutputFile> file;
    };
    Document main_, home_, far_;
    bool done_ = false;
};

// The 43-line header with the six line styles, and the 3-line footer, each line CR LF.
std::string_view DocumentHeader();
std::string_view DocumentFooter();

}  // namespace omvo::kml
