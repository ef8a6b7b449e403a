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

// Returns the first "xmlns:" in [from, end), or end when there is none.
const char* FindBinding(const char* from, const char* end) {
    constexpr std::string_view kBinding = "xmlns:";
    for (const char* x = Find(from, end, 'x'); x < end; x = Find(x + 1, end, 'x')) {
        if (static_cast<std::size_t>(end - x) >= kBinding.size() &&
            std::memcmp(x, kBinding.data(), kBinding.size()) == 0) {
            return x;
        }
    }
    return end;
}

// Returns the bytes of a text of at most 8 characters as a word loaded from memory holds them.
std::uint64_t Word(std::string_view text) {
    unsigned char bytes[8] = {};
    std::memcpy(bytes, text.data(), text.size());
    std::uint64_t word;
    std::memcpy(&word, bytes, sizeof word);
    return word;
}

}  // namespace

MarkerNames::MarkerNames(const PointElements& elements, bool cutGaps) {
    // In the order a marker is looked for when names may carry a prefix; the one closing tag
    // last.
    const Name names[] = {{elements.trackOpen, Marker::Track},
                          {elements.pointOpen, Marker::PointOpen},
                          {cutGaps ? elements.segmentOpen : "", Marker::Track},
                          {"<ele>", Marker::Elevation},
                          {"<time>", Marker::Time},
                          {elements.pointClose, Marker::PointClose}};
    for (const Name& name : names) {
        if (name.text.empty()) continue;
        Name& kept = names_[count_++];
        kept = name;
        kept.word = Word(name.text);
        kept.mask = Word(std::string(name.text.size(), '\xff'));
    }
    closingAt_ = count_ - 1;
}

MarkerMatch MarkerNames::MatchAny(const char* at, const char* end) const {
    const std::string_view rest(at, static_cast<std::size_t>(end - at));
    for (std::size_t i = 0; i < count_; ++i) {
        const std::size_t length = prefixes_.MarkerLength(rest, names_[i].text);
        if (length != 0) return {names_[i].marker, length};
    }
    return {};
}

void GpxScanner::Scan(std::string_view lines) {
    const char* p = lines.data();
    blockEnd_ = p + lines.size();
    nextMarkup_ = Find(p, blockEnd_, '<');
    nextBinding_ = FindBinding(p, blockEnd_);
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
    if (nextBinding_ < end) ReadBindings(begin, end);
    piece_ = OpenPiece{begin};
    if (tag_.open && ContinueTag(begin, end)) return;
    while (nextMarkup_ < end) {
        const char* at = nextMarkup_;
        if (piece_.time != nullptr && piece_.timeEnd == nullptr) piece_.timeEnd = at;
        // Markers hold no line end, so reading past this one matches nothing more.
        const MarkerMatch match = names_.Match(at, blockEnd_);
        TakeMarker(at, match);
        const char* next = match.marker == Marker::PointClose ? at + match.length : at + 1;
        nextMarkup_ = Find(next, blockEnd_, '<');
    }
    if (piece_.begin < end || piece_.closesPoint) EndPiece(end, PieceEnd::LineEnd);
}

// A line with "xmlns:" may bind or unbind prefixes, from that line on.
void GpxScanner::ReadBindings(const char* begin, const char* end) {
    names_.ReadBindings({begin, static_cast<std::size_t>(end - begin)});
    nextBinding_ = FindBinding(end, blockEnd_);
}

void GpxScanner::TakeMarker(const char* at, MarkerMatch match) {
    switch (match.marker) {
        case Marker::Track:
        case Marker::PointOpen:
            if (at > piece_.begin || piece_.closesPoint) {
                EndPiece(at, PieceEnd::Marker);
                piece_ = OpenPiece{at};
            }
            piece_.marker = match.marker;
            break;
        case Marker::Elevation:
            if (piece_.ele == nullptr) piece_.ele = at + match.length;
            break;
        case Marker::Time:
            if (piece_.time == nullptr) piece_.time = at + match.length;
            break;
        case Marker::PointClose:
            piece_.closesPoint = true;
            EndPiece(at + match.length, PieceEnd::Marker);
            piece_ = OpenPiece{at + match.length};
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
