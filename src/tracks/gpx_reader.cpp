#include "tracks/gpx_reader.hpp"

#include <cstring>
#include <optional>

#include "base/console.hpp"
#include "base/decimal.hpp"
#include "base/errors.hpp"
#include "base/platform.hpp"
#include "base/text_file.hpp"
#include "tracks/geodesy.hpp"
#include "tracks/home_region.hpp"

namespace omvo::tracks {

namespace {

constexpr std::string_view kTrackOpen = "<trk>";
constexpr std::string_view kPointOpen = "<trkpt";
constexpr std::string_view kPointClose = "</trkpt>";
constexpr std::string_view kTagEnd = "/>";
constexpr std::string_view kEleOpen = "<ele>";
constexpr std::string_view kTimeOpen = "<time>";
constexpr double kSegmentGapKm = 5.0;

// The run of number characters that starts at `from`, possibly empty.
std::string_view NumberRun(std::string_view text, std::size_t from) {
    std::size_t end = from;
    while (end < text.size() && IsNumberChar(text[end])) ++end;
    return text.substr(from, end - from);
}

// The number run after the first `name` (such as "lat=") that a double or a single quote
// follows; empty when the text has no such attribute.
std::string_view AttributeNumber(std::string_view text, std::string_view name) {
    std::size_t pos = text.find(name);
    while (pos != std::string_view::npos) {
        const std::size_t quote = pos + name.size();
        if (quote < text.size() && (text[quote] == '"' || text[quote] == '\'')) {
            return NumberRun(text, quote + 1);
        }
        pos = text.find(name, pos + 1);
    }
    return {};
}

void TrimInPlace(std::string& text) { text.resize(TrimTrailingZeros(text).size()); }

// Where the markers of one piece stand, as positions in the piece.
struct PieceMarkers {
    std::size_t ele = std::string_view::npos;   // the first "<ele>"
    std::size_t time = std::string_view::npos;  // the first "<time>"
    bool closesPoint = false;                   // holds "</trkpt>"
};

// Collects one point's values over one or more pieces of lines and appends each complete
// point to the store. A piece starts at the start of a line or right before a "<trk>" or a
// "<trkpt", so a piece holds these markers only at its start.
class TrackReader {
public:
    explicit TrackReader(TrackStore& store) : store_(store) {}

    // One walk over the '<' characters of the line cuts it into pieces and finds the
    // markers of each piece.
    void ReadLine(std::string_view line, long lineNumber) {
        lineNumber_ = lineNumber;
        const char* data = line.data();
        const std::size_t size = line.size();
        std::size_t start = 0;
        PieceMarkers markers;
        std::size_t pos = 0;
        while (pos < size) {
            const void* hit = std::memchr(data + pos, '<', size - pos);
            if (hit == nullptr) break;
            const std::size_t at = static_cast<std::size_t>(static_cast<const char*>(hit) - data);
            const std::string_view rest(data + at, size - at);
            if (rest.starts_with(kTrackOpen) || rest.starts_with(kPointOpen)) {
                if (at > 0) {
                    ReadPiece(line.substr(start, at - start), markers);
                    start = at;
                    markers = PieceMarkers{};
                }
            } else if (rest.starts_with(kEleOpen)) {
                if (markers.ele == std::string_view::npos) markers.ele = at - start;
            } else if (rest.starts_with(kTimeOpen)) {
                if (markers.time == std::string_view::npos) markers.time = at - start;
            } else if (rest.starts_with(kPointClose)) {
                markers.closesPoint = true;
            }
            pos = at + 1;
        }
        ReadPiece(line.substr(start), markers);
    }

private:
    void ReadPiece(std::string_view piece, const PieceMarkers& markers) {
        if (piece.starts_with(kTrackOpen)) pendingStart_ = true;
        const bool opensPoint = piece.starts_with(kPointOpen);
        if (opensPoint) {
            lat_.assign(AttributeNumber(piece, "lat="));
            lon_.assign(AttributeNumber(piece, "lon="));
            time_.clear();
        }
        if (lat_.empty() || lon_.empty()) return;

        if (markers.ele != std::string_view::npos) {
            ele_.assign(NumberRun(piece, markers.ele + kEleOpen.size()));
        }
        if (markers.time != std::string_view::npos) {
            const std::size_t from = markers.time + kTimeOpen.size();
            const std::size_t end = piece.find('<', from);
            time_.assign(piece.substr(from, end == std::string_view::npos ? end : end - from));
        }
        const bool complete =
            markers.closesPoint || (opensPoint && piece.find(kTagEnd) != std::string_view::npos);
        if (complete) StorePoint();
    }

    void StorePoint() {
        if (ele_.empty()) ele_ = "0";
        TrimInPlace(lat_);
        TrimInPlace(lon_);
        TrimInPlace(ele_);

        TTrackPoint& point = store_.points.emplace_back();
        point.lat.assign(lat_);
        point.lon.assign(lon_);
        point.ele.assign(ele_);
        point.time.assign(time_);
        point.kept = true;
        point.segmentStart = false;
        const std::optional<double> lat = ParseCoordinate(point.lat.view());
        const std::optional<double> lon = ParseCoordinate(point.lon.view());
        if (!lat || !lon) {
            store_.points.pop_back();
            std::string text = store_.path;
            text += ", line ";
            base::AppendInt(text, lineNumber_);
            text += ": track point with an unreadable coordinate skipped";
            base::Warning(text);
            return;
        }
        point.latValue = *lat;
        point.lonValue = *lon;

        if (!store_.far) {
            // Tested on the whole trimmed texts, not on the stored cut.
            const std::optional<double> fullLat =
                lat_.size() == point.lat.size() ? lat : ParseCoordinate(lat_);
            const std::optional<double> fullLon =
                lon_.size() == point.lon.size() ? lon : ParseCoordinate(lon_);
            if (fullLat && fullLon && IsOutsideHomeRegion(*fullLon, *fullLat)) store_.far = true;
        }

        const int n = store_.pointCount();
        if (pendingStart_ && n > 1 && PointDistanceKm(store_, n - 1, n) < kSegmentGapKm) {
            pendingStart_ = false;
        }
        store_.at(n).segmentStart = pendingStart_;
        if (pendingStart_) {
            pendingStart_ = false;
            ++store_.segmentCount;
        }
    }

    TrackStore& store_;
    std::string lat_, lon_, ele_, time_;  // carried from line to line
    bool pendingStart_ = true;
    long lineNumber_ = 0;
};

}  // namespace

void LoadTrack(const std::string& path, TrackStore& store) {
    store.Reset();
    store.path = path;
    if (!base::FileExists(path)) {
        base::ConsoleText("Файл ");
        base::ConsoleBytes(path);
        base::ConsoleText(" не найден!\r\n");
        throw base::RunStop(1);
    }
    base::TextFile file(path);
    TrackReader reader(store);
    std::string_view line;
    while (file.NextLine(line)) reader.ReadLine(line, file.lineNumber());
    file.Close();
}

bool IsNumberChar(char c) { return (c >= '0' && c <= '9') || c == '.' || c == '-'; }

std::string_view TrimTrailingZeros(std::string_view text) {
    if (text.find('.') == std::string_view::npos) return text;
    while (!text.empty() && text.back() == '0') text.remove_suffix(1);
    if (!text.empty() && text.back() == '.') text.remove_suffix(1);
    return text;
}

}  // namespace omvo::tracks
