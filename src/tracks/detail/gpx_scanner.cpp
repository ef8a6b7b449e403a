#include "tracks/detail/gpx_scanner.hpp"

#include <cstring>

#include "tracks/detail/point_collector.hpp"

namespace omvo::tracks::detail {

namespace {

// Returns the first `c` in [from, end), or end when there is none.
const char* Find(const char* from, const char* end, char c) {
    const void* hit = std::memchr(from, c, static_cast<std::size_t>(end - from));
    return hit == nullptr ? end : static_cast<const char*>(hit);
}

bool StartsWith(const char* at, const char* end, std::string_view text) {
    return static_cast<std::size_t>(end - at) >= text.size() &&
           std::memcmp(at, text.data(), text.size()) == 0;
}

// Returns the marker whose name starts at `name` (after the '<', and after the '/' of a
// closing tag).
Marker MatchName(const char* name, const char* end, bool closing) {
    if (closing) return StartsWith(name, end, "trkpt>") ? Marker::PointClose : Marker::None;
    if (StartsWith(name, end, "trk")) {
        if (StartsWith(name + 3, end, ">")) return Marker::Track;
        return StartsWith(name + 3, end, "pt") ? Marker::PointOpen : Marker::None;
    }
    if (StartsWith(name, end, "ele>")) return Marker::Elevation;
    return StartsWith(name, end, "time>") ? Marker::Time : Marker::None;
}

constexpr std::size_t kPointCloseSize = 8;  // "</trkpt>"
constexpr std::size_t kEleOpenSize = 5;     // "<ele>"
constexpr std::size_t kTimeOpenSize = 6;    // "<time>"

}  // namespace

Marker MarkerNames::MatchAny(const char* at, const char* end) const {
    const char* name = at + 1;
    const bool closing = name < end && *name == '/';
    if (closing) ++name;
    return MatchName(SkipBoundPrefix(name, end), end, closing);
}

void MarkerNames::BindPrefix(std::string_view prefix) {
    std::string bound(prefix);
    bound += ':';
    prefixes_.push_back(std::move(bound));
}

const char* MarkerNames::SkipBoundPrefix(const char* name, const char* end) const {
    for (const std::string& prefix : prefixes_) {
        if (StartsWith(name, end, prefix)) return name + prefix.size();
    }
    return name;
}

void GpxScanner::Scan(std::string_view lines) {
    const char* p = lines.data();
    blockEnd_ = p + lines.size();
    nextMarkup_ = Find(p, blockEnd_, '<');
    while (p < blockEnd_) {
        const char* lf = Find(p, blockEnd_, '\n');
        ScanLine(p, lf > p && lf[-1] == '\r' ? lf - 1 : lf);
        if (lf == blockEnd_) break;
        p = lf + 1;
    }
}

void GpxScanner::Finish() {
    if (tag_.open) EndTag();
}

// One walk over the '<' characters of the line cuts it into pieces and finds their markers.
void GpxScanner::ScanLine(const char* begin, const char* end) {
    ++line_;
    piece_ = OpenPiece{begin};
    if (tag_.open && ContinueTag(begin, end)) return;
    while (nextMarkup_ < end) {
        const char* at = nextMarkup_;
        if (piece_.time != nullptr && piece_.timeEnd == nullptr) piece_.timeEnd = at;
        // Markers hold no line end, so reading past this one matches nothing more.
        const Marker marker = names_.Match(at, blockEnd_);
        TakeMarker(at, marker);
        const char* next = marker == Marker::PointClose ? at + kPointCloseSize : at + 1;
        nextMarkup_ = Find(next, blockEnd_, '<');
    }
    if (piece_.begin < end || piece_.closesPoint) EndPiece(end, PieceEnd::LineEnd);
}

void GpxScanner::TakeMarker(const char* at, Marker marker) {
    switch (marker) {
        case Marker::Track:
        case Marker::PointOpen:
            if (at > piece_.begin || piece_.closesPoint) {
                EndPiece(at, PieceEnd::Marker);
                piece_ = OpenPiece{at};
            }
            piece_.marker = marker;
            break;
        case Marker::Elevation:
            if (piece_.ele == nullptr) piece_.ele = at + kEleOpenSize;
            break;
        case Marker::Time:
            if (piece_.time == nullptr) piece_.time = at + kTimeOpenSize;
            break;
        case Marker::PointClose:
            piece_.closesPoint = true;
            EndPiece(at + kPointCloseSize, PieceEnd::Marker);
            piece_ = OpenPiece{at + kPointCloseSize};
            break;
        case Marker::None:
            break;
    }
}

// The line after one that left a start tag open: the tag ends at the line's first '>',
// unless markup comes first, and then it ended with the line before. Returns true when the
// tag takes the whole line.
bool GpxScanner::ContinueTag(const char* begin, const char* end) {
    const char* tagEnd = Find(begin, end, '>');
    const char* markup = nextMarkup_ < end ? nextMarkup_ : end;
    if (tagEnd == end && markup == end) {
        tag_.text += ' ';
        tag_.text.append(begin, end);
        return true;
    }
    if (markup < tagEnd) {
        EndTag();
        return false;
    }
    tag_.text += ' ';
    tag_.text.append(begin, tagEnd);
    EndTag();
    piece_ = OpenPiece{tagEnd + 1};
    piece_.closesPoint = tagEnd > begin && tagEnd[-1] == '/';
    return false;
}

// A piece that runs to the end of its line may open a start tag that goes on over the next
// lines.
void GpxScanner::EndPiece(const char* end, PieceEnd how) {
    Piece piece;
    piece.text = {piece_.begin, static_cast<std::size_t>(end - piece_.begin)};
    piece.line = line_;
    piece.ele = piece_.ele;
    piece.time = piece_.time;
    piece.timeEnd = piece_.timeEnd != nullptr ? piece_.timeEnd : end;
    piece.closesPoint = piece_.closesPoint;
    if (piece_.marker == Marker::Track) piece.start = PieceStart::Track;
    if (piece_.marker == Marker::PointOpen) {
        const char* tagEnd = Find(piece_.begin, end, '>');
        if (tagEnd == end && how == PieceEnd::LineEnd) {
            piece.start = PieceStart::OpenPoint;
            tag_.open = true;
            tag_.text.assign(piece.text);
            tag_.line = line_;
        } else {
            piece.start = PieceStart::Point;
            piece.closesPoint |= tagEnd != end && tagEnd[-1] == '/';
        }
    }
    points_.Take(piece);
}

void GpxScanner::EndTag() {
    tag_.open = false;
    Piece piece;
    piece.start = PieceStart::JoinedTag;
    piece.text = tag_.text;
    piece.line = tag_.line;
    points_.Take(piece);
    tag_.text.clear();
}

}  // namespace omvo::tracks::detail
