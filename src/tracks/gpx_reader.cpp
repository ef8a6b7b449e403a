#include "tracks/gpx_reader.hpp"

#include <array>
#include <charconv>
#include <cstdint>
#include <cstring>
#include <optional>
#include <system_error>
#include <vector>

#include "base/calendar.hpp"
#include "base/console.hpp"
#include "base/decimal.hpp"
#include "base/errors.hpp"
#include "base/platform.hpp"
#include "base/text_file.hpp"
#include "tracks/geodesy.hpp"
#include "tracks/gpx_namespace.hpp"
#include "tracks/home_region.hpp"
#include "tracks/iso_time.hpp"

namespace omvo::tracks {

namespace {

// The elements that hold the points: a track's, or a route's when a file has no track.
struct PointElements {
    std::string_view trackOpen;    // a new track (route) begins
    std::string_view segmentOpen;  // a new track segment begins; empty for routes
    std::string_view pointOpen;
    std::string_view pointClose;
    std::string_view pointName;    // in warnings
};
constexpr PointElements kTrackElements = {"<trk>", "<trkseg>", "<trkpt", "</trkpt>",
                                          "track point"};
constexpr PointElements kRouteElements = {"<rte>", "", "<rtept", "</rtept>", "route point"};

constexpr std::string_view kEleOpen = "<ele>";
constexpr std::string_view kTimeOpen = "<time>";
constexpr double kSegmentGapKm = 5.0;
constexpr std::size_t kTimeLength = 20;  // YYYY-MM-DDThh:mm:ssZ, the form speeds are measured from

using base::IsDigit;

// Reads a day-month-year date-and-time text ("DD.MM.YYYY hh:mm:ss", blanks allowed around
// every number and separator, anything after the seconds ignored).
class DateTimeScanner {
public:
    explicit DateTimeScanner(std::string_view text) : text_(text) {}

    // Seconds since 1970-01-01 00:00:00; nothing when the text is no valid date and time.
    std::optional<std::int64_t> Seconds() {
        int day = 0, month = 0, year = 0, hour = 0, minute = 0, second = 0;
        if (!Number(day) || !Separator('.') || !Number(month) || !Separator('.') ||
            !Number(year) || !Number(hour) || !Separator(':') || !Number(minute) ||
            !Separator(':') || !Number(second)) {
            return std::nullopt;
        }
        return base::DateTimeSeconds(year, month, day, hour, minute, second);
    }

private:
    void SkipBlanks() {
        while (pos_ < text_.size() && text_[pos_] == ' ') ++pos_;
    }
    bool Number(int& value) {
        SkipBlanks();
        const std::size_t start = pos_;
        value = 0;
        while (pos_ < text_.size() && IsDigit(text_[pos_]) && pos_ - start < 6) {
            value = value * 10 + (text_[pos_] - '0');
            ++pos_;
        }
        return pos_ > start && (pos_ >= text_.size() || !IsDigit(text_[pos_]));
    }
    bool Separator(char c) {
        SkipBlanks();
        if (pos_ >= text_.size() || text_[pos_] != c) return false;
        ++pos_;
        return true;
    }

    std::string_view text_;
    std::size_t pos_ = 0;
};

// Reads GPX times into points. A track's points mostly share their date, so the day of the
// last date read is kept.
class TimeReader {
public:
    // A 20-character text is read by its fixed positions; with `isoTimes` a text of any other
    // length is read as an xsd:dateTime.
    void Read(std::string_view text, bool isoTimes, PointTime& time) {
        if (text.size() != kTimeLength) {
            time = isoTimes ? ReadIsoTime(text) : PointTime{};
            return;
        }
        const std::optional<std::int64_t> read = Seconds(text);
        time = {read ? TimeKind::Valid : TimeKind::Invalid, read.value_or(0), 0};
    }

private:
    // The text read from fixed positions as year, month, day and time of day; the
    // separators at [4], [7] and [10] and the closing [19] are not looked at.
    std::optional<std::int64_t> Seconds(std::string_view t) {
        // The common YYYY-MM-DDThh:mm:ss form is read directly; anything else (blanks
        // around the numbers, say) goes through the general reading of the composed text.
        static constexpr std::size_t kDigitAt[] = {0, 1, 2, 3, 5, 6, 8, 9, 11, 12, 14, 15, 17, 18};
        bool plain = t[13] == ':' && t[16] == ':';
        for (std::size_t at : kDigitAt) plain = plain && IsDigit(t[at]);
        if (!plain) {
            const char composed[] = {t[8],  t[9],  '.',   t[5],  t[6],  '.',   t[0],
                                     t[1],  t[2],  t[3],  ' ',   t[11], t[12], t[13],
                                     t[14], t[15], t[16], t[17], t[18]};
            return DateTimeScanner({composed, sizeof composed}).Seconds();
        }
        const int hour = base::DigitsValue(t, 11, 2);
        const int minute = base::DigitsValue(t, 14, 2);
        const int second = base::DigitsValue(t, 17, 2);
        if (hour > 23 || minute > 59 || second > 59) return std::nullopt;
        const std::string_view date = t.substr(0, kDateLength);
        if (!haveDay_ || date != std::string_view(date_, kDateLength)) {
            const std::optional<std::chrono::sys_days> day = base::CalendarDate(
                base::DigitsValue(t, 0, 4), base::DigitsValue(t, 5, 2), base::DigitsValue(t, 8, 2));
            if (!day) return std::nullopt;
            date.copy(date_, kDateLength);
            day_ = day->time_since_epoch().count();
            haveDay_ = true;
        }
        return day_ * 86400 + hour * 3600 + minute * 60 + second;
    }

    static constexpr std::size_t kDateLength = 10;
    char date_[kDateLength] = {};
    std::int64_t day_ = 0;  // days since 1970-01-01 of date_
    bool haveDay_ = false;
};

// A coordinate text (without its sign) too long for the exact fast reading.
std::optional<double> ParseLongCoordinate(std::string_view text, bool negative) {
    std::size_t points = 0;
    bool digits = false;
    for (const char c : text) {
        if (c == '.') {
            ++points;
        } else if (IsDigit(c)) {
            digits = true;
        } else {
            return std::nullopt;
        }
    }
    if (points > 1) return std::nullopt;
    if (!digits) return 0.0;  // "." and "-." read as zero
    double value = 0.0;
    const char* last = text.data() + text.size();
    const auto [end, ec] = std::from_chars(text.data(), last, value, std::chars_format::fixed);
    if (ec != std::errc() || end != last) return std::nullopt;
    return negative ? -value : value;
}

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// IsNumberChar as a table, for the loop that reads every number of the file.
constexpr std::array<bool, 256> MakeNumberChars() {
    std::array<bool, 256> table{};
    for (std::size_t c = 0; c < table.size(); ++c) table[c] = IsNumberChar(static_cast<char>(c));
    return table;
}
constexpr std::array<bool, 256> kNumberChars = MakeNumberChars();

// The end of an exponent ("e" or "E", an optional sign, at least one digit) that starts at
// `from`, or `from` when none starts there.
std::size_t ExponentEnd(std::string_view text, std::size_t from) {
    std::size_t p = from;
    if (p >= text.size() || (text[p] != 'e' && text[p] != 'E')) return from;
    ++p;
    if (p < text.size() && (text[p] == '+' || text[p] == '-')) ++p;
    const std::size_t digits = p;
    while (p < text.size() && base::IsDigit(text[p])) ++p;
    return p > digits ? p : from;
}

// A number as the reader keeps it from line to line, read once: the trimmed text's first 15
// characters as the map shows them, and the values the reader needs.
struct WorkingNumber {
    bool empty = true;             // nothing was read: no number characters at all
    PackedNumber text;             // trimmed, cut to what the store keeps
    std::optional<double> stored;  // the value of that text; nothing when it is no number
    std::optional<double> whole;   // the value of the whole trimmed text

    void Clear() { *this = WorkingNumber{}; }

    void Set(std::string_view run) {
        empty = run.empty();
        const std::string_view trimmed = TrimTrailingZeros(run);
        const std::string_view cut = trimmed.substr(0, PackedNumber::kCapacity);
        text.assign(cut);
        stored = ParseCoordinate(cut);
        whole = trimmed.size() > cut.size() ? ParseCoordinate(trimmed) : stored;
    }
};

// Reads the number that starts at `from`: blanks, tabs and a '+' before it are skipped, then
// the run of number characters is taken. A run followed by an exponent, as programs that
// print doubles in scientific form write it ("-9.0E-4"), becomes its shortest plain decimal
// ("-0.0009"), so the point is drawn where the file means it; one beyond the range of a
// double is no number.
void ReadNumber(std::string_view text, std::size_t from, WorkingNumber& out) {
    while (from < text.size() && IsBlank(text[from])) ++from;
    if (from < text.size() && text[from] == '+') ++from;
    std::size_t end = from;
    while (end < text.size() && kNumberChars[static_cast<unsigned char>(text[end])]) ++end;
    const std::string_view run = text.substr(from, end - from);
    const std::size_t exponentEnd = ExponentEnd(text, end);
    if (exponentEnd == end || !base::ParseDecimal(run)) {
        out.Set(run);
        return;
    }
    const std::optional<double> value = base::ParseDecimal(text.substr(from, exponentEnd - from));
    if (!value) {
        out.Set({});
        return;
    }
    char plain[1100];  // room for the longest fixed form of any double
    const auto [plainEnd, ec] = std::to_chars(plain, plain + sizeof plain, *value,
                                              std::chars_format::fixed);
    out.Set(ec == std::errc() ? std::string_view(plain, static_cast<std::size_t>(plainEnd - plain))
                              : std::string_view());
}

// Reads the number of the first attribute `name` (such as "lat") whose '=' and opening
// quote follow, blanks allowed around the '='; nothing is read when there is none.
void ReadAttributeNumber(std::string_view text, std::string_view name, WorkingNumber& out) {
    for (std::size_t pos = text.find(name); pos != std::string_view::npos;
         pos = text.find(name, pos + 1)) {
        std::size_t p = pos + name.size();
        while (p < text.size() && IsBlank(text[p])) ++p;
        if (p >= text.size() || text[p] != '=') continue;
        ++p;
        while (p < text.size() && IsBlank(text[p])) ++p;
        if (p < text.size() && (text[p] == '"' || text[p] == '\'')) {
            ReadNumber(text, p + 1, out);
            return;
        }
    }
    out.Clear();
}

// What opens a piece of a line.
enum class PieceOpening : std::uint8_t { Other, Track, Point };

// Where the markers of one piece stand, as positions in the piece.
struct PieceMarkers {
    PieceOpening opening = PieceOpening::Other;  // "<trk>" (or "<trkseg>"), "<trkpt"
    std::size_t ele = std::string_view::npos;   // the value after the first "<ele>"
    std::size_t time = std::string_view::npos;  // the text after the first "<time>"
    bool closesPoint = false;                   // ends with "</trkpt>"
};

// Collects one point's values over one or more pieces of lines and appends each complete
// point to the store. A piece starts at the start of a line or right before a "<trk>" or a
// "<trkpt", and ends at the end of the line, before the next such marker or right after a
// "</trkpt>"; so a piece holds these markers only at its start, and what follows a point
// on the same line is never taken for it. A marker may carry a prefix that the file binds to
// the GPX namespace ("<ns2:trkpt"). The same reading serves routes, with their own elements,
// which are constants of the reading so that every marker test is a few compares.
template <const PointElements& elements_>
class TrackReader {
public:
    TrackReader(TrackStore& store, const ReadOptions& options)
        : store_(store),
          isoTimes_(options.isoTimes),
          cutGaps_(options.cutGaps && !elements_.segmentOpen.empty()) {}

    // One walk over the '<' characters of the line cuts it into pieces and finds the
    // markers of each piece.
    void ReadLine(std::string_view line, long lineNumber) {
        lineNumber_ = lineNumber;
        prefixes_.ReadBindings(line);
        std::size_t start = 0;
        bool tagClosesPoint = false;  // the first piece follows a "<trkpt .../>" tag's end
        if (inTag_) {
            const std::size_t tagEnd = line.find('>');
            const std::size_t markup = line.find('<');
            if (tagEnd == std::string_view::npos && markup == std::string_view::npos) {
                tag_ += ' ';
                tag_.append(line);
                return;
            }
            if (markup < tagEnd) {
                EndTag();  // no '>' before the next markup: the tag ended with the line before
            } else {
                tag_ += ' ';
                tag_.append(line.substr(0, tagEnd));
                EndTag();
                tagClosesPoint = tagEnd > 0 && line[tagEnd - 1] == '/';
                start = tagEnd + 1;
            }
        }
        // Most files bind no prefix: their lines take the walk with plain markers only.
        if (prefixes_.empty()) {
            WalkLine<false>(line, start, tagClosesPoint);
        } else {
            WalkLine<true>(line, start, tagClosesPoint);
        }
    }

    // Ends the file: a start tag still open holds no complete point.
    void Finish() {
        if (inTag_) EndTag();
    }

private:
    // The walk over the '<' characters of the line from `start`, with prefixed markers when
    // `prefixed`.
    template <bool prefixed>
    void WalkLine(std::string_view line, std::size_t start, bool tagClosesPoint) {
        const char* data = line.data();
        const std::size_t size = line.size();
        PieceMarkers markers;
        std::size_t pos = start;
        while (pos < size) {
            const void* hit = std::memchr(data + pos, '<', size - pos);
            if (hit == nullptr) break;
            const std::size_t at = static_cast<std::size_t>(static_cast<const char*>(hit) - data);
            const std::string_view rest(data + at, size - at);
            pos = at + 1;
            std::size_t length = 0;
            const PieceOpening opening = Opening<prefixed>(rest);
            if (opening != PieceOpening::Other) {
                if (at > start || tagClosesPoint) {
                    ReadPiece(line.substr(start, at - start), markers, tagClosesPoint, false);
                    start = at;
                    markers = PieceMarkers{};
                    tagClosesPoint = false;
                }
                markers.opening = opening;
            } else if ((length = MarkerLength<prefixed>(rest, kEleOpen)) != 0) {
                if (markers.ele == std::string_view::npos) markers.ele = at - start + length;
            } else if ((length = MarkerLength<prefixed>(rest, kTimeOpen)) != 0) {
                if (markers.time == std::string_view::npos) markers.time = at - start + length;
            } else if ((length = MarkerLength<prefixed>(rest, elements_.pointClose)) != 0) {
                markers.closesPoint = true;
                pos = at + length;
                ReadPiece(line.substr(start, pos - start), markers, tagClosesPoint, false);
                start = pos;
                markers = PieceMarkers{};
                tagClosesPoint = false;
            }
        }
        if (start < size || tagClosesPoint) {
            ReadPiece(line.substr(start), markers, tagClosesPoint, true);
        }
    }

    // The length of the marker at the start of `rest`, plain or (when `prefixed`) with a GPX
    // prefix; 0 when it is not there.
    template <bool prefixed>
    std::size_t MarkerLength(std::string_view rest, std::string_view marker) const {
        if constexpr (prefixed) {
            return prefixes_.MarkerLength(rest, marker);
        } else {
            return rest.starts_with(marker) ? marker.size() : 0;
        }
    }

    // Whether the text at a '<' opens a new piece: a track (or, with cutGaps_, a track
    // segment) or a point.
    template <bool prefixed>
    PieceOpening Opening(std::string_view rest) const {
        if (MarkerLength<prefixed>(rest, elements_.trackOpen) != 0) return PieceOpening::Track;
        if (MarkerLength<prefixed>(rest, elements_.pointOpen) != 0) return PieceOpening::Point;
        if (cutGaps_ && MarkerLength<prefixed>(rest, elements_.segmentOpen) != 0) {
            return PieceOpening::Track;
        }
        return PieceOpening::Other;
    }

    // `endsLine`: the piece runs to the end of the line, so a start tag it opens may go on
    // over the next lines.
    void ReadPiece(std::string_view piece, const PieceMarkers& markers, bool tagClosesPoint,
                   bool endsLine) {
        if (markers.opening == PieceOpening::Track) pendingStart_ = true;
        bool complete = markers.closesPoint || tagClosesPoint;
        if (markers.opening == PieceOpening::Point) {
            time_ = PointTime{};
            const std::size_t tagEnd = piece.find('>');
            if (tagEnd == std::string_view::npos && endsLine) {
                // The start tag goes on over the next lines; its attributes are read when
                // it ends.
                lat_.Clear();
                lon_.Clear();
                inTag_ = true;
                tagLine_ = lineNumber_;
                tag_.assign(piece);
                return;
            }
            ReadAttributeNumber(piece, "lat", lat_);
            ReadAttributeNumber(piece, "lon", lon_);
            if (lat_.empty || lon_.empty) WarnSkipped(lineNumber_);
            if (tagEnd != std::string_view::npos && tagEnd > 0 && piece[tagEnd - 1] == '/') {
                complete = true;
            }
        }
        if (lat_.empty || lon_.empty) return;

        if (markers.ele != std::string_view::npos) ReadNumber(piece, markers.ele, ele_);
        if (markers.time != std::string_view::npos) {
            const std::size_t from = markers.time;
            const std::size_t end = piece.find('<', from);
            times_.Read(piece.substr(from, end == std::string_view::npos ? end : end - from),
                        isoTimes_, time_);
        }
        if (complete) StorePoint();
    }

    void EndTag() {
        inTag_ = false;
        ReadAttributeNumber(tag_, "lat", lat_);
        ReadAttributeNumber(tag_, "lon", lon_);
        if (lat_.empty || lon_.empty) WarnSkipped(tagLine_);
        tag_.clear();
    }

    void WarnSkipped(long lineNumber) {
        std::string text = store_.path;
        text += ", line ";
        base::AppendInt(text, lineNumber);
        text += ": ";
        text += elements_.pointName;
        text += " with an unreadable coordinate skipped";
        store_.warnings.push_back(std::move(text));
    }

    void StorePoint() {
        TrackPoint& point = store_.points.emplace_back();
        if (!FillPoint(point)) {
            store_.points.pop_back();
            WarnSkipped(lineNumber_);
            return;
        }
        if (!store_.far) store_.far = LeavesHomeRegion();
        MarkSegmentStart();
    }

    // The point from the working values; false when a stored coordinate is no number.
    bool FillPoint(TrackPoint& point) {
        if (!lat_.stored || !lon_.stored) return false;
        point.lat = lat_.text;
        point.lon = lon_.text;
        point.latValue = *lat_.stored;
        point.lonValue = *lon_.stored;
        // A point without an elevation of its own gets 0; so does one whose elevation is no
        // number, which would break the coordinate tuple of the line.
        if (ele_.empty || !ele_.stored) {
            point.ele.assign("0");
        } else {
            point.ele = ele_.text;
        }
        point.timeKind = time_.kind;
        point.seconds = time_.seconds;
        point.nanoseconds = time_.nanoseconds;
        point.kept = true;
        point.segmentStart = false;
        return true;
    }

    // Tested on the whole trimmed texts, not on the stored cut.
    bool LeavesHomeRegion() const {
        return lat_.whole && lon_.whole &&
               IsOutsideHomeRegion({.lon = *lon_.whole, .lat = *lat_.whole});
    }

    // The first point of the file starts a segment, and so does the first point after a
    // "<trk>" (with cutGaps_ also a "<trkseg>") when it lies 5 km or more from the point
    // before it.
    void MarkSegmentStart() {
        std::vector<TrackPoint>& points = store_.points;
        const std::size_t n = points.size();
        if (pendingStart_ && n > 1 && PointDistanceKm(points[n - 2], points[n - 1]) < kSegmentGapKm) {
            pendingStart_ = false;
        }
        points[n - 1].segmentStart = pendingStart_;
        if (pendingStart_) {
            pendingStart_ = false;
            ++store_.segmentCount;
        }
    }

    TrackStore& store_;
    const bool isoTimes_;
    const bool cutGaps_;
    GpxPrefixes prefixes_;  // bound so far in the file
    WorkingNumber lat_, lon_, ele_;  // carried from line to line
    PointTime time_;                 // the last time read
    bool pendingStart_ = true;
    long lineNumber_ = 0;
    bool inTag_ = false;  // a "<trkpt" start tag goes on over the next lines
    std::string tag_;     // that tag so far, its lines joined by blanks
    long tagLine_ = 0;    // the line where it began
    TimeReader times_;
};

}  // namespace

namespace {

template <const PointElements& elements>
void ReadPoints(const std::string& path, TrackStore& store, const ReadOptions& options) {
    base::TextFile file(path, base::FileDecoding::Utf16ByMark);
    TrackReader<elements> reader(store, options);
    std::string_view line;
    while (file.NextLine(line)) reader.ReadLine(line, file.lineNumber());
    reader.Finish();
    file.Close();
}

}  // namespace

bool ReadTrack(const std::string& path, TrackStore& store, const ReadOptions& options) {
    store.Reset();
    store.path = path;
    if (!base::FileExists(path)) return false;
    ReadPoints<kTrackElements>(path, store, options);
    if (store.points.empty() && options.routes) {
        // Nothing was stored, so the store is as a fresh load leaves it.
        ReadPoints<kRouteElements>(path, store, options);
        if (!store.points.empty()) {
            store.warnings.push_back(path +
                                     ": no track point; its route points are drawn instead");
            return true;
        }
    }
    if (store.points.empty()) {
        store.warnings.push_back(path + ": no track point; the trip adds no placemark");
    }
    return true;
}

void ReportTrack(bool found, const TrackStore& store, std::exception_ptr failure) {
    for (const std::string& warning : store.warnings) base::Warning(warning);
    if (failure) std::rethrow_exception(failure);
    if (!found) {
        base::ConsoleText("Файл ");
        base::ConsoleBytes(store.path);
        base::ConsoleText(" не найден!\r\n");
        throw base::RunStop(1);
    }
}

void LoadTrack(const std::string& path, TrackStore& store, const ReadOptions& options) {
    bool found = false;
    std::exception_ptr failure;
    try {
        found = ReadTrack(path, store, options);
    } catch (...) {
        failure = std::current_exception();
    }
    ReportTrack(found, store, failure);
}

std::optional<double> ParseCoordinate(std::string_view text) {
    const bool negative = !text.empty() && text[0] == '-';
    const char* p = text.data() + (negative ? 1 : 0);
    const char* const end = text.data() + text.size();
    if (p == end) return std::nullopt;  // empty, or a lone '-'
    // Up to 19 digits fit the integer exactly; the stored texts have at most 15 characters.
    const std::string_view digitsText(p, static_cast<std::size_t>(end - p));
    if (digitsText.size() > 19) return ParseLongCoordinate(digitsText, negative);
    std::uint64_t mantissa = 0;
    const char* digitsEnd = p;
    for (; digitsEnd < end && IsDigit(*digitsEnd); ++digitsEnd) {
        mantissa = mantissa * 10 + static_cast<std::uint64_t>(*digitsEnd - '0');
    }
    int fractionDigits = 0;
    if (digitsEnd < end) {
        if (*digitsEnd != '.') return std::nullopt;
        for (const char* q = digitsEnd + 1; q < end; ++q) {
            if (!IsDigit(*q)) return std::nullopt;
            mantissa = mantissa * 10 + static_cast<std::uint64_t>(*q - '0');
            ++fractionDigits;
        }
    }
    if (digitsEnd == p && fractionDigits == 0) return 0.0;  // "." and "-." read as zero
    // Both the digits and the power of ten are exact doubles here, so one division gives the
    // correctly rounded value, as from_chars does.
    static constexpr double kPowersOfTen[] = {1e0, 1e1, 1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,
                                              1e10, 1e11, 1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19};
    if (mantissa > (std::uint64_t{1} << 53)) {
        return ParseLongCoordinate(digitsText, negative);
    }
    const double value = static_cast<double>(mantissa) / kPowersOfTen[fractionDigits];
    return negative ? -value : value;
}

void SetPointTime(TrackPoint& point, std::string_view text, bool isoTimes) {
    PointTime time;
    TimeReader().Read(text, isoTimes, time);
    point.timeKind = time.kind;
    point.seconds = time.seconds;
    point.nanoseconds = time.nanoseconds;
}

std::string_view TrimTrailingZeros(std::string_view text) {
    // Most numbers end in a digit other than 0: nothing to trim, whether they hold a '.' or not.
    if (text.empty() || (text.back() != '0' && text.back() != '.')) return text;
    bool point = false;
    for (const char c : text) point |= c == '.';
    if (!point) return text;
    while (!text.empty() && text.back() == '0') text.remove_suffix(1);
    if (!text.empty() && text.back() == '.') text.remove_suffix(1);
    return text;
}

}  // namespace omvo::tracks
