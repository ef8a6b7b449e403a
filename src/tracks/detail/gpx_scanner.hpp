#pragma once
// Finds the markers of a GPX text in blocks of whole lines and cuts the text into pieces for
// the track reader. A piece starts at the start of a line or right at a "<trk>" or "<trkpt"
// marker, and ends at the end of its line, right before the next such marker or right after
// a "</trkpt>"; so a piece holds these markers only at its start, and what follows a point on
// the same line is never taken for it.

#include <bit>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

namespace omvo::tracks::detail {

// The markers the reader acts on: "<trk>", "<trkpt" (whatever follows), "</trkpt>", "<ele>",
// "<time>".
enum class Marker : std::uint8_t { None, Track, PointOpen, PointClose, Elevation, Time };

// Returns the bytes of a text of at most 8 characters as a word loaded from memory holds them.
constexpr std::uint64_t Word(std::string_view text) {
    std::uint64_t word = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const std::size_t shift = std::endian::native == std::endian::little ? 8 * i : 56 - 8 * i;
        word |= std::uint64_t{static_cast<unsigned char>(text[i])} << shift;
    }
    return word;
}

// Returns the marker of the plain names whose tag starts at `at`, from the eight bytes there.
inline Marker MatchWord(const char* at) {
    constexpr std::uint64_t kFive = Word("\xff\xff\xff\xff\xff");
    constexpr std::uint64_t kSix = Word("\xff\xff\xff\xff\xff\xff");
    std::uint64_t word;
    std::memcpy(&word, at, sizeof word);
    if ((word & kSix) == Word("<trkpt")) return Marker::PointOpen;
    if ((word & kFive) == Word("<ele>")) return Marker::Elevation;
    if ((word & kSix) == Word("<time>")) return Marker::Time;
    if (word == Word("</trkpt>")) return Marker::PointClose;
    return (word & kFive) == Word("<trk>") ? Marker::Track : Marker::None;
}

// The tag names of the markers. A name may also carry a prefix ("g:trkpt") that the file
// binds to the GPX namespace; the table of such prefixes starts empty.
class MarkerNames {
public:
    // Returns the marker whose tag starts at `at`, a '<', reading no further than `end`.
    Marker Match(const char* at, const char* end) const {
        return prefixes_.empty() && end - at >= 8 ? MatchWord(at) : MatchAny(at, end);
    }

    // Returns nothing; names written with "prefix:" count as the plain names from now on.
    void BindPrefix(std::string_view prefix);

private:
    Marker MatchAny(const char* at, const char* end) const;
    const char* SkipBoundPrefix(const char* name, const char* end) const;

    std::vector<std::string> prefixes_;  // each with its ':'
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
    bool closesPoint = false;    // by "</trkpt>", by "/>" of its own start tag or of the one before
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
    GpxScanner(PointCollector& points, const MarkerNames& names) : points_(points), names_(names) {}

    // Returns nothing; hands the pieces of `lines` to the point collector. Requires whole lines, each
    // ended by LF or CR LF but the data's last, without any other CR.
    void Scan(std::string_view lines);

    // Returns nothing; ends the data: a start tag still open is handed over as it stands.
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
    void TakeMarker(const char* at, Marker marker);
    bool ContinueTag(const char* begin, const char* end);
    // Where a piece ends: at a marker (before a start, after "</trkpt>") or at its line's end.
    enum class PieceEnd : std::uint8_t { Marker, LineEnd };
    void EndPiece(const char* end, PieceEnd how);
    void EndTag();

    PointCollector& points_;
    const MarkerNames& names_;
    const char* blockEnd_ = nullptr;
    const char* nextMarkup_ = nullptr;  // the next '<' of the block, or blockEnd_
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
