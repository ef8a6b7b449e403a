#include "web/web_page.hpp"

#include <charconv>
#include <cmath>
#include <utility>

#include "base/decimal.hpp"
#include "base/encoding.hpp"
#include "catalogue/trip_id.hpp"
#include "kml/trip_description.hpp"
#include "kml/trip_placemarks.hpp"
#include "kml/xml_text.hpp"
#include "web/web_assets.hpp"

namespace omvo::web {

namespace {

constexpr std::string_view kHexDigits = "0123456789abcdef";

// The layers a line is drawn in, as the page's data names them: one bit a document.
constexpr int kMainLayer = 1;
constexpr int kHomeLayer = 2;
constexpr int kFarLayer = 4;

int LayersOf(kml::Route route) {
    switch (route) {
        case kml::Route::MainAndHome: return kMainLayer | kHomeLayer;
        case kml::Route::MainAndFar: return kMainLayer | kFarLayer;
        case kml::Route::AllDocuments: break;
    }
    return kMainLayer | kHomeLayer | kFarLayer;
}

// The index of a style id among the six styles of the documents, or -1.
int StyleIndex(std::string_view styleId) {
    for (std::size_t i = 0; i < kml::kLineStyles.size(); ++i) {
        if (kml::kLineStyles[i].id == styleId) return static_cast<int>(i);
    }
    return -1;
}

// A coordinate as a JSON number: its text when that is a plain decimal, else its value (a
// text cut short, a character the store cannot keep), 0 when it has none.
void AppendJsonNumber(std::string& out, std::string_view text, double value) {
    if (AppendJsonDecimal(out, text)) return;
    char digits[32];
    const std::to_chars_result written = std::to_chars(digits, digits + sizeof digits, value);
    if (written.ec == std::errc() && std::isfinite(value)) {
        out.append(digits, written.ptr);
    } else {
        out += '0';
    }
}

// A coordinate of the track as the documents write it, as a JSON number.
void AppendCoordinate(std::string& out, const tracks::PackedNumber& number, double value) {
    std::string digits;  // fits in the string itself: no allocation
    number.AppendTo(digits);
    AppendJsonNumber(out, digits, value);
}

void AppendKey(std::string& out, std::string_view key) {
    out += '"';
    out += key;
    out += "\":";
}

// The page up to its data: the libraries' and the page's style sheets in the head, the map's
// box, and the opening of the data block with the six line styles.
std::string PageStart() {
    std::string start;
    start.reserve(kLeafletCss.size() + kPageCss.size() + 2048);
    start +=
        "<!DOCTYPE html>\n"
        "<html lang=\"ru\">\n"
        "<head>\n"
        "<meta charset=\"utf-8\">\n"
        "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n"
        // Only the page's own three scripts run; images come from the tile server, and from
        // descriptions that name them.
        "<meta http-equiv=\"Content-Security-Policy\" content=\"default-src 'none'; script-src ";
    start += kScriptHashes;
    start +=
        "; style-src 'unsafe-inline'; img-src data: http: https:; base-uri 'none'; "
        "form-action 'none'\">\n"
        "<title>omvo-covering</title>\n"
        "<style>\n";
    start += kLeafletCss;
    start += "</style>\n<style>\n";
    start += kPageCss;
    start +=
        "</style>\n"
        "</head>\n"
        "<body>\n"
        "<div id=\"map\"></div>\n"
        "<script type=\"application/json\" id=\"omvo-data\">\n"
        "{\"styles\":[";
    for (std::size_t i = 0; i < kml::kLineStyles.size(); ++i) {
        const kml::LineStyle& style = kml::kLineStyles[i];
        // KML writes aabbggrr; the page wants #rrggbb and the opacity out of 255.
        const std::string_view color = style.color;
        if (i > 0) start += ',';
        start += "{\"id\":";
        AppendJsonString(start, style.id);
        start += ",\"color\":\"#";
        start.append(color.substr(6, 2)).append(color.substr(4, 2)).append(color.substr(2, 2));
        start += "\",\"alpha\":";
        base::AppendInt(start, std::stol(std::string(color.substr(0, 2)), nullptr, 16));
        start += ",\"width\":";
        start += kml::kLineWidth;
        start += '}';
    }
    start += "],\n\"items\":[\n";
    return start;
}

}  // namespace

void AppendJsonString(std::string& out, std::string_view text) {
    const std::string valid = kml::DropInvalidUtf8(text);
    out += '"';
    for (std::size_t i = 0; i < valid.size(); ++i) {
        const auto c = static_cast<unsigned char>(valid[i]);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c < 0x20 || c == '<' || c == '>' || c == '&') {
            out += "\\u00";
            out += kHexDigits[c >> 4];
            out += kHexDigits[c & 0xF];
        } else if (c == 0xE2 && i + 2 < valid.size() && valid[i + 1] == '\x80' &&
                   (valid[i + 2] == '\xA8' || valid[i + 2] == '\xA9')) {
            // U+2028 and U+2029 end a line in older JavaScript.
            out += valid[i + 2] == '\xA8' ? "\\u2028" : "\\u2029";
            i += 2;
        } else {
            out += static_cast<char>(c);
        }
    }
    out += '"';
}

bool AppendJsonDecimal(std::string& out, std::string_view text) {
    std::size_t i = 0;
    const bool negative = i < text.size() && text[i] == '-';
    if (negative) ++i;
    const std::size_t intStart = i;
    while (i < text.size() && base::IsDigit(text[i])) ++i;
    std::string_view intPart = text.substr(intStart, i - intStart);
    std::string_view fraction;
    if (i < text.size() && text[i] == '.') {
        const std::size_t fractionStart = ++i;
        while (i < text.size() && base::IsDigit(text[i])) ++i;
        fraction = text.substr(fractionStart, i - fractionStart);
    }
    if (i != text.size() || (intPart.empty() && fraction.empty())) return false;
    while (intPart.size() > 1 && intPart.front() == '0') intPart.remove_prefix(1);
    if (negative) out += '-';
    if (intPart.empty()) {
        out += '0';
    } else {
        out += intPart;
    }
    if (!fraction.empty()) {
        out += '.';
        out += fraction;
    }
    return true;
}

void AppendCoordinatePairs(std::string& out, std::string_view coordinates) {
    constexpr std::string_view kBlanks = " \t\r\n";
    bool first = true;
    std::size_t at = 0;
    while ((at = coordinates.find_first_not_of(kBlanks, at)) != std::string_view::npos) {
        std::size_t end = coordinates.find_first_of(kBlanks, at);
        if (end == std::string_view::npos) end = coordinates.size();
        const std::string_view tuple = coordinates.substr(at, end - at);
        at = end;

        const std::size_t comma = tuple.find(',');
        if (comma == std::string_view::npos) continue;
        std::string_view lonText = tuple.substr(0, comma);
        std::string_view latText = tuple.substr(comma + 1);
        latText = latText.substr(0, latText.find(','));
        double values[2];
        std::string_view* texts[2] = {&latText, &lonText};
        bool readable = true;
        for (int k = 0; k < 2; ++k) {
            std::string_view& number = *texts[k];
            if (number.starts_with('+')) number.remove_prefix(1);
            const char* last = number.data() + number.size();
            const std::from_chars_result read = std::from_chars(number.data(), last, values[k]);
            readable = readable && read.ec == std::errc() && read.ptr == last &&
                       std::isfinite(values[k]);
        }
        if (!readable) continue;
        if (!first) out += ',';
        first = false;
        AppendJsonNumber(out, latText, values[0]);
        out += ',';
        AppendJsonNumber(out, lonText, values[1]);
    }
}

WebPage::WebPage(Writer writer) : write_(std::move(writer)) { write_(PageStart()); }

void WebPage::StartEntry(const std::string* tripId, std::string_view heading,
                         std::string_view description, int styleIndex, int layers) {
    entry_.clear();
    entry_ += firstEntry_ ? "{" : ",\n{";
    firstEntry_ = false;
    if (tripId != nullptr) {
        AppendKey(entry_, "id");
        AppendJsonString(entry_, *tripId);
        entry_ += ',';
    }
    AppendKey(entry_, "h");
    AppendJsonString(entry_, heading);
    entry_ += ',';
    AppendKey(entry_, "d");
    AppendJsonString(entry_, description);
    entry_ += ',';
    AppendKey(entry_, "k");
    base::AppendInt(entry_, styleIndex);
    entry_ += ',';
    AppendKey(entry_, "m");
    base::AppendInt(entry_, layers);
    entry_ += ',';
    AppendKey(entry_, "s");
}

void WebPage::AddOverlay(const overlays::Overlay& overlay) {
    const overlays::OverlayDefinition& definition = overlay.definition;
    const std::string name = kml::TextAsShown(definition.name);
    StartEntry(nullptr, name, kml::DropControls(definition.descr),
               StyleIndex(kml::DropControls(kml::DropInvalidUtf8(definition.style))),
               LayersOf(kml::Route::MainAndFar));
    entry_ += "[[";
    AppendJsonString(entry_, name);
    entry_ += ",[";
    AppendCoordinatePairs(entry_, kml::DropControls(overlay.coordinates));
    entry_ += "]]]}";
    write_(entry_);
}

void WebPage::AddTrip(kml::Route route, const catalogue::TripRecord& trip,
                      catalogue::TripClass tripClass, const tracks::TrackStore& store) {
    const int segmentCount = store.segmentCount;
    const std::vector<tracks::TrackPoint>& points = store.points;
    // A trip the documents draw no placemark for is left out here too.
    if (segmentCount <= 0 || points.empty()) return;

    const std::string id = kml::DropControls(catalogue::TripId(trip));
    const std::string name = kml::TextAsShown(id);
    StartEntry(&id, kml::DropControls(trip.heading),
               kml::DropControls(kml::TripDescription(trip)),
               StyleIndex(catalogue::StyleIdOf(tripClass)), LayersOf(route));
    entry_ += '[';

    // The segments as the documents cut them.
    std::size_t next = 0;
    for (int segment = 1; segment <= segmentCount; ++segment) {
        if (segment > 1) entry_ += ',';
        std::string segmentName = name;
        kml::AppendSegmentNumber(segmentName, segment, segmentCount);
        entry_ += '[';
        AppendJsonString(entry_, segmentName);
        entry_ += ",[";
        bool firstPoint = true;
        const std::size_t end = store.SegmentEnd(next);
        for (; next < end; ++next) {
            const tracks::TrackPoint& point = points[next];
            if (!point.kept) continue;
            if (!firstPoint) entry_ += ',';
            firstPoint = false;
            AppendCoordinate(entry_, point.lat, point.latValue);
            entry_ += ',';
            AppendCoordinate(entry_, point.lon, point.lonValue);
        }
        entry_ += "]]";
    }
    entry_ += "]}";
    write_(entry_);
}

void WebPage::Finish() {
    std::string end;
    end.reserve(kLeafletJs.size() + kPurifyJs.size() + kPageJs.size() + 256);
    end += "\n]}\n</script>\n<script>";
    end += kLeafletJs;
    end += "</script>\n<script>";
    end += kPurifyJs;
    end += "</script>\n<script>";
    end += kPageJs;
    end += "</script>\n</body>\n</html>\n";
    write_(end);
}

}  // namespace omvo::web
