#include "web/web_page.hpp"

#include <array>
#include <charconv>
#include <cmath>
#include <optional>
#include <utility>

#include "base/decimal.hpp"
#include "catalogue/trip_dates.hpp"
#include "catalogue/trip_id.hpp"
#include "kml/trip_description.hpp"
#include "kml/trip_placemarks.hpp"
#include "kml/xml_text.hpp"
#include "web/web_assets.hpp"

namespace omvo::web {

namespace {

constexpr std::string_view kHexDigits = "0123456789abcdef";

// The page's three maps, one a document, in the order of its switch; "bit" is how an
// item's "m" names them.
struct Layer {
    int bit;
    std::string_view document;
    std::string_view name;        // UTF-8, for the switch
    std::string_view noScriptText;  // UTF-8, after the document's link without scripts
};
constexpr std::array<Layer, 3> kLayers = {{
    {1, kml::kMainDocumentName, "Все поездки", "все поездки"},
    {2, kml::kHomeDocumentName, "В домашнем регионе", "поездки в домашнем регионе"},
    {4, kml::kFarDocumentName, "Дальние поездки", "дальние поездки"},
}};

int LayersOf(kml::Route route) {
    switch (route) {
        case kml::Route::MainAndHome: return kLayers[0].bit | kLayers[1].bit;
        case kml::Route::MainAndFar: return kLayers[0].bit | kLayers[2].bit;
        case kml::Route::AllDocuments: break;
    }
    return kLayers[0].bit | kLayers[1].bit | kLayers[2].bit;
}

// A coordinate in hundred-thousandths of a degree: 1.1 m north to south, 0.6 m east to west
// at the home region's latitude; rounded, a point lies at most half of that from its place,
// half a line's width at the map's closest zoom.
constexpr double kUnitsPerDegree = 1e5;
constexpr double kMaxDegrees = 1000.0;

void AppendInt64(std::string& out, std::int64_t value) {
    char digits[24];
    const std::to_chars_result written = std::to_chars(digits, digits + sizeof digits, value);
    out.append(digits, written.ptr);
}

void AppendKey(std::string& out, std::string_view key) {
    out += '"';
    out += key;
    out += "\":";
}

// `"key":"text",`
void AppendTextMember(std::string& out, std::string_view key, std::string_view text) {
    AppendKey(out, key);
    AppendJsonString(out, text);
    out += ',';
}

// `"key":number,`
void AppendIntMember(std::string& out, std::string_view key, long value) {
    AppendKey(out, key);
    base::AppendInt(out, value);
    out += ',';
}

// `"d":[...],` with the heading written once: in the pieces, or apart when the description
// does not hold it.
void AppendDescription(std::string& out, std::string_view description, std::string_view heading) {
    std::vector<std::string_view> pieces = DescriptionPieces(description, heading);
    if (pieces.empty()) {
        AppendTextMember(out, "h", heading);
        pieces.push_back(description);
    }
    AppendKey(out, "d");
    out += '[';
    for (std::size_t i = 0; i < pieces.size(); ++i) {
        if (i > 0) out += ',';
        AppendJsonString(out, pieces[i]);
    }
    out += "],";
}

// The value times the scale, rounded to a whole number; null where it is unknown (or no
// finite number of a sane size).
void AppendMeasure(std::string& out, bool known, double value, double scale = 1.0) {
    const double scaled = value * scale;
    if (known && std::fabs(scaled) < 1e15) {
        AppendInt64(out, std::llround(scaled));
    } else {
        out += "null";
    }
}

// `"f":[...],`: length in tenths of a km, climb and descent in m, moving and total time in s,
// segments, days.
void AppendFigures(std::string& out, const tracks::TrackFigures& figures,
                   const catalogue::TripDates& dates) {
    AppendKey(out, "f");
    out += '[';
    AppendMeasure(out, true, figures.lengthKm, 10.0);
    for (const double metres : {figures.climbM, figures.descentM}) {
        out += ',';
        AppendMeasure(out, figures.hasElevations, metres);
    }
    for (const double seconds : {figures.movingSeconds, figures.totalSeconds}) {
        out += ',';
        AppendMeasure(out, figures.hasTimes, seconds);
    }
    out += ',';
    base::AppendInt(out, figures.segmentCount);
    out += ',';
    AppendMeasure(out, dates.days.has_value(), dates.days.value_or(0));
    out += "],";
}

// `"p":[low,high,"places"],` when the track has a profile.
void AppendProfile(std::string& out, const tracks::ElevationProfile& profile) {
    if (profile.samples.empty()) return;
    AppendKey(out, "p");
    out += '[';
    base::AppendInt(out, profile.lowM);
    out += ',';
    base::AppendInt(out, profile.highM);
    out += ',';
    AppendJsonString(out, profile.samples);
    out += "],";
}

// yyyymmdd of a day.
long DayNumber(std::chrono::sys_days day) {
    const std::chrono::year_month_day date{day};
    const long month = static_cast<unsigned>(date.month());
    const long dayOfMonth = static_cast<unsigned>(date.day());
    return static_cast<int>(date.year()) * 10000L + month * 100 + dayOfMonth;
}

// The class table as the page wants it: KML writes aabbggrr, the page "#rrggbb" and the
// opacity out of 255.
void AppendClasses(std::string& out) {
    AppendKey(out, "classes");
    out += '[';
    bool first = true;
    for (const catalogue::ClassStyle& style : catalogue::kClassStyles) {
        const std::string_view color = style.kmlColor;
        if (!first) out += ',';
        first = false;
        out += '{';
        AppendTextMember(out, "id", style.styleId);
        AppendTextMember(out, "name", style.legendName);
        out += "\"color\":\"#";
        out.append(color.substr(6, 2)).append(color.substr(4, 2)).append(color.substr(2, 2));
        out += "\",";
        int alpha = 0;
        std::from_chars(color.data(), color.data() + 2, alpha, 16);
        AppendIntMember(out, "alpha", alpha);
        AppendKey(out, "width");
        out += style.width;
        out += '}';
    }
    out += "],\n";
}

// The page up to its data: the libraries' and the page's style sheets in the head, then the
// opening of the data block with the tiles, the layers and the classes.
std::string PageStart() {
    std::string start;
    start.reserve(kLeafletCss.size() + kPageCss.size() + 4096);
    start +=
        "<!DOCTYPE html>\n"
        "<html lang=\"ru\">\n"
        "<head>\n"
        "<meta charset=\"utf-8\">\n"
        "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n"
        // Only the page's own three scripts run and its two style sheets apply; images come
        // from the style sheets and the tile server alone.
        "<meta http-equiv=\"Content-Security-Policy\" content=\"default-src 'none'; script-src ";
    start += kScriptHashes;
    start += "; style-src ";
    start += kStyleHashes;
    start += "; img-src data: ";
    start += kTileServer;
    start +=
        "; base-uri 'none'; form-action 'none'\">\n"
        "<title>omvo-covering</title>\n"
        "<style>";
    start += kLeafletCss;
    start += "</style>\n<style>";
    start += kPageCss;
    start +=
        "</style>\n"
        "</head>\n"
        "<body>\n"
        "<script type=\"application/json\" id=\"omvo-data\">\n{";
    std::string tiles(kTileServer);
    tiles += "/{z}/{x}/{y}.png";
    AppendTextMember(start, "tiles", tiles);
    start += '\n';
    AppendKey(start, "layers");
    start += '[';
    for (const Layer& layer : kLayers) {
        if (&layer != &kLayers.front()) start += ',';
        start += '{';
        AppendIntMember(start, "bit", layer.bit);
        AppendKey(start, "name");
        AppendJsonString(start, layer.name);
        start += '}';
    }
    start += "],\n";
    AppendClasses(start);
    start += "\"items\":[\n";
    return start;
}

// What a reader without scripts (an e-mail previewer) sees instead of the map.
std::string NoScript(long tripCount) {
    std::string text =
        "<noscript><div class=\"omvo-noscript\">\n"
        "<h1>Поездки клуба</h1>\n"
        "<p>Карту этой страницы рисует программа на JavaScript: откройте страницу в "
        "браузере с включённым JavaScript.</p>\n"
        "<p>Поездок на карте: ";
    base::AppendInt(text, tripCount);
    text +=
        ".</p>\n"
        "<p>Те же карты в документах KML, для программ, которые их показывают:</p>\n<ul>\n";
    for (const Layer& layer : kLayers) {
        text.append("<li><a href=\"").append(layer.document).append("\">");
        text.append(layer.document).append("</a>: ").append(layer.noScriptText).append("</li>\n");
    }
    text += "</ul>\n</div></noscript>\n";
    return text;
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

std::vector<std::string_view> DescriptionPieces(std::string_view description,
                                                std::string_view heading) {
    // The first part: what the description and the heading begin with, whole characters.
    std::size_t common = 0;
    while (common < description.size() && common < heading.size() &&
           description[common] == heading[common]) {
        ++common;
    }
    while (common > 0 && common < heading.size() &&
           (static_cast<unsigned char>(heading[common]) & 0xC0) == 0x80) {
        --common;
    }
    if (common == heading.size()) {
        return {"", description.substr(0, common), description.substr(common)};
    }
    // The second part: the rest of the heading, further on.
    const std::string_view rest = heading.substr(common);
    const std::size_t at = description.find(rest, common);
    if (at == std::string_view::npos) return {};
    const std::string_view between = description.substr(common, at - common);
    const std::string_view after = description.substr(at + rest.size());
    if (common == 0) return {between, rest, after};
    return {"", description.substr(0, common), between, rest, after};
}

bool PointWriter::Append(double lat, double lon) {
    if (!(std::fabs(lat) <= kMaxDegrees && std::fabs(lon) <= kMaxDegrees)) return false;
    const std::int64_t latUnits = std::llround(lat * kUnitsPerDegree);
    const std::int64_t lonUnits = std::llround(lon * kUnitsPerDegree);
    if (!first_) out_ += ',';
    AppendInt64(out_, first_ ? latUnits : latUnits - lat_);
    out_ += ',';
    AppendInt64(out_, first_ ? lonUnits : lonUnits - lon_);
    first_ = false;
    lat_ = latUnits;
    lon_ = lonUnits;
    return true;
}

void AppendCoordinates(PointWriter& writer, std::string_view coordinates) {
    constexpr std::string_view kBlanks = " \t\r\n";
    std::size_t at = 0;
    while ((at = coordinates.find_first_not_of(kBlanks, at)) != std::string_view::npos) {
        std::size_t end = coordinates.find_first_of(kBlanks, at);
        if (end == std::string_view::npos) end = coordinates.size();
        const std::string_view tuple = coordinates.substr(at, end - at);
        at = end;

        const std::size_t comma = tuple.find(',');
        if (comma == std::string_view::npos) continue;
        std::string_view texts[2] = {tuple.substr(comma + 1), tuple.substr(0, comma)};
        texts[0] = texts[0].substr(0, texts[0].find(','));
        double values[2];  // latitude, longitude
        bool readable = true;
        for (int k = 0; k < 2; ++k) {
            std::string_view number = texts[k];
            if (number.starts_with('+')) number.remove_prefix(1);
            const char* last = number.data() + number.size();
            const std::from_chars_result read = std::from_chars(number.data(), last, values[k]);
            readable = readable && read.ec == std::errc() && read.ptr == last;
        }
        if (readable) writer.Append(values[0], values[1]);
    }
}

WebPage::WebPage(Writer writer) : write_(std::move(writer)) { write_(PageStart()); }

void WebPage::StartEntry() {
    entry_.clear();
    entry_ += firstEntry_ ? "{" : ",\n{";
    firstEntry_ = false;
}

void WebPage::AddOverlay(const overlays::Overlay& overlay) {
    const overlays::OverlayDefinition& definition = overlay.definition;
    const std::optional<catalogue::TripClass> overlayClass =
        catalogue::ClassOfStyleId(kml::DropControls(kml::DropInvalidUtf8(definition.style)));
    StartEntry();
    AppendTextMember(entry_, "n", kml::TextAsShown(definition.name));
    AppendIntMember(entry_, "k", overlayClass ? static_cast<long>(*overlayClass) : -1);
    AppendIntMember(entry_, "m", LayersOf(kml::Route::MainAndFar));
    AppendKey(entry_, "d");
    entry_ += '[';
    AppendJsonString(entry_, kml::DropControls(definition.descr));
    entry_ += "],";
    AppendKey(entry_, "s");
    entry_ += "[[";
    PointWriter points(entry_);
    AppendCoordinates(points, kml::DropControls(overlay.coordinates));
    entry_ += "]]}";
    write_(entry_);
}

void WebPage::AddTrip(kml::Route route, const catalogue::TripRecord& trip,
                      catalogue::TripClass tripClass, const tracks::TrackStore& store,
                      const tracks::TrackFigures& figures,
                      const tracks::ElevationProfile& profile) {
    // A trip the documents draw no placemark for is left out here too.
    if (!kml::HasPlacemarks(store)) return;
    ++tripCount_;

    StartEntry();
    AppendTextMember(entry_, "id", kml::TextAsShown(kml::DropControls(catalogue::TripId(trip))));
    AppendIntMember(entry_, "k", static_cast<long>(tripClass));
    AppendIntMember(entry_, "m", LayersOf(route));
    const catalogue::DateRange dates = catalogue::ParseDateRange(trip.datesLine);
    if (dates.hasDates) {
        AppendKey(entry_, "t");
        entry_ += '[';
        base::AppendInt(entry_, DayNumber(dates.start));
        entry_ += ',';
        base::AppendInt(entry_, DayNumber(dates.end));
        entry_ += "],";
    }
    AppendDescription(entry_, kml::DropControls(kml::TripDescription(trip)),
                      kml::DropControls(trip.heading));
    AppendFigures(entry_, figures, catalogue::ReadTripDates(trip));
    AppendProfile(entry_, profile);
    AppendKey(entry_, "s");
    entry_ += '[';

    std::optional<PointWriter> points;
    kml::WalkSegments(
        store,
        [&](int segment, int) {
            if (segment > 1) entry_ += ',';
            entry_ += '[';
            points.emplace(entry_);
        },
        [&](const tracks::TrackPoint& point) { points->Append(point.latValue, point.lonValue); },
        [&] { entry_ += ']'; });
    entry_ += "]}";
    write_(entry_);
}

void WebPage::Finish() {
    std::string end;
    end.reserve(kLeafletJs.size() + kPurifyJs.size() + kPageJs.size() + 2048);
    end += "\n]}\n</script>\n";
    end += NoScript(tripCount_);
    end += "<script>";
    end += kLeafletJs;
    end += "</script>\n<script>";
    end += kPurifyJs;
    end += "</script>\n<script>";
    end += kPageJs;
    end += "</script>\n</body>\n</html>\n";
    write_(end);
}

}  // namespace omvo::web
