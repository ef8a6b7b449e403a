#pragma once
// Finds the markers of a GPX text in blocks of whole lines and cuts the text into pieces for
// the track reader. A piece starts at the start of a line or right at a "<trk>" or "<trkpt"
// marker, and ends at the end of its line, right before the next such marker or right after
// a "</trkpt>"; so a piece holds these markers only at its start, and what follows a point on
// the same line is never taken for it. Routes are read alike with their own elements.

#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#include "tracks/detail/gpx_namespace.hpp"

namespace omvo::tracks::detail {

// The elements that hold the points: a track's, or a route's when a file has no track.
struct PointElements {
    std::string_view trackOpen;    // a new track (route) begins
    std::string_view segmentOpen;  // a new track segment begins; empty for routes
    std::string_view pointOpen;    // a point begins, whatever follows the name
    std::string_view pointClose;
    std::string_view pointName;    // in warnings
};
inline constexpr PointElements kTrackElements = {"<trk>", "<trkseg>", "<trkpt", "</trkpt>",
                                                 "track point"};
inline constexpr PointElements kRouteElements = {"<rte>", "", "<rtept", "</rtept>",
                                                 "route point"};

// The markers the reader acts on: a new track (or track segment), a point's start tag and
// its closing tag, "<ele>" and "<time>".
enum class Marker : std::uint8_t { None, Track, PointOpen, PointClose, Elevation, Time };

// A marker at a '<', with the length of its text.
struct MarkerMatch {
    Marker marker = Marker::None;
    std::size_t length = 0;
};

// The tag names of the markers. A name may also carry a prefix that the file binds to the GPX
// namespace ("<ns2:trkpt"); while none is bound, a name is matched a word at a time.
class MarkerNames {
public:
    // Takes the names of `elements`; with `cutGaps` a new track segment counts as a new track.
    MarkerNames(const PointElements& elements, bool cutGaps);

    // Returns the marker whose tag starts at `at`, a '<', reading no further than `end`.
    MarkerMatch Match(const char* at, const char* end) const {
        return prefixes_.empty() && end - at >= 8 ? MatchWord(at) : MatchAny(at, end);
    }

    // Takes the prefix bindings of a line; they count from that line on.
    void ReadBindings(std::string_view line) { prefixes_.ReadBindings(line); }

private:
    struct Name {
        std::string_view text;
        Marker marker = Marker::None;
        std::uint64_t word = 0;  // the text as the word loaded at a '<' holds it
        std::uint64_t mask = 0;  // the bytes of that word the text covers
    };

    // Without prefixes the names exclude each other, so they are tried in any order: the one
    // closing tag, the last name, alone after "</", the others alone after any other '<'.
    MarkerMatch MatchWord(const char* at) const {
        std::uint64_t word;
        std::memcpy(&word, at, sizeof word);
        const bool closing = at[1] == '/';
        const std::size_t last = closing ? count_ : closingAt_;
        for (std::size_t i = closing ? closingAt_ : 0; i < last; ++i) {
            if ((word & names_[i].mask) == names_[i].word) {
                return {names_[i].marker, names_[i].text.size()};
            }
        }
        return {};
    }
    MarkerMatch MatchAny(const char* at, const char* end) const;

    Name names_[6];  // in the order they are tried when names may carry a prefix
    std::size_t count_ = 0;
    std::size_t closingAt_ = 0;  // the closing tag's, count_ - 1, kept for the word match
    GpxPrefixes prefixes_;  // bound so far in the file
};

// How a piece begins.
enum class PieceStart : std::uint8_t {
    Line,       // at a line start, after a "</trkpt>" or after a start tag over several lines
    Track,      // at "<trk>"
    Point,      // at "<trkpt", its start tag within the piece
    OpenPoint,  // at "<trkpt", its start tag going on over the next lines
    JoinedTag,  // such a start tag when it has ended: its lines joined by blanks
};

// One piece of the text, with what the reader needs of it.
struct Piece {
    PieceStart start = PieceStart::Line;
    std::string_view text;
    const char* ele = nullptr;   // right after the piece's first "<ele>", when it has one
    const char* time = nullptr;  // right after the piece's first "<time>", when it has one
    const char* timeEnd = nullptr;  // the next '<' after it, or the end of its line
    bool closesPoint = false;    // by "</trkpt>", or by the "/>" of its own start tag or of
                                 // the one before
    long line = 0;               // the number of its line (of the first line of a joined tag)

    // Returns the text from the elevation to the end of the piece.
    std::string_view EleText() const {
        return {ele, static_cast<std::size_t>(text.data() + text.size() - ele)};
    }
    // Returns the time text.
    std::string_view TimeText() const { return {time, static_cast<std::size_t>(timeEnd - time)}; }
};

class PointCollector;

// Cuts GPX text into pieces, block after block; a start tag may go on from block to block.
class GpxScanner {
public:
    GpxScanner(PointCollector& points, MarkerNames& names) : points_(points), names_(names) {}

    // Hands the pieces of `lines` to the point collector. Requires whole lines, each ended
    // by LF or CR LF but the data's last, without any other CR.
    void Scan(std::string_view lines);

    // Ends the data: a start tag still open is handed over as it stands.
    void Finish();

private:
    // The piece being read.
    struct OpenPiece {
        const char* begin = nullptr;
        Marker marker = Marker::None;  // the marker it starts with: None, Track or PointOpen
        const char* ele = nullptr;
        const char* time = nullptr;
        const char* timeEnd = nullptr;
        bool closesPoint = false;
    };

    void ScanLine(const char* begin, const char* end);
    void TakeMarker(const char* at, MarkerMatch match);
    void ReadBindings(const char* begin, const char* end);
    bool ContinueTag(const char* begin, const char* end);
    // Where a piece ends: at a marker (before a start, after "</trkpt>") or at its line's end.
    enum class PieceEnd : std::uint8_t { Marker, LineEnd };
    void EndPiece(const char* end, PieceEnd how);
    void EndTag();

    PointCollector& points_;
    MarkerNames& names_;
    const char* blockEnd_ = nullptr;
    const char* nextMarkup_ = nullptr;  // the next '<' of the block, or blockEnd_
    const char* nextBinding_ = nullptr;  // the next "xmlns:" of the block, or blockEnd_
    long line_ = 0;
    OpenPiece piece_;
    // A "<trkpt" start tag that goes on over the next lines.
    struct SplitTag {
        bool open = false;
        std::string text;  // the tag so far, its lines joined by blanks
        long line = 0;     // the line where it began
    } tag_;
};

}  // namespace omvo::tracks::detail
