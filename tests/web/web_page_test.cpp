#include "web/web_page.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <string_view>
#include <vector>

#include "catalogue/test_trip.hpp"
#include "tracks/store_builder.hpp"
#include "web/web_assets.hpp"

namespace omvo::web {
namespace {

using omvo::test::TestTrip;
using tracks::test::AddPoint;

TEST(WebPageText, JsonStringsCannotEndTheScriptBlockOrTheString) {
    const struct {
        const char* what;
        std::string_view text;
        std::string_view json;
    } cases[] = {
        {"plain text and Cyrillic", "ab Жж", "\"ab Жж\""},
        {"quotes and backslashes", "a\"b\\c", "\"a\\\"b\\\\c\""},
        {"control characters", std::string_view("a\x01\n\tb\x1f", 6),
         "\"a\\u0001\\u000a\\u0009b\\u001f\""},
        {"every < and >, not only </", "</script><!--<script>",
         "\"\\u003c/script\\u003e\\u003c!--\\u003cscript\\u003e\""},
        {"& cannot start a reference", "&amp;", "\"\\u0026amp;\""},
        {"line and paragraph separators", "a\xE2\x80\xA8" "b\xE2\x80\xA9", "\"a\\u2028b\\u2029\""},
        {"other three-byte characters stay", "\xE2\x80\xA6", "\"\xE2\x80\xA6\""},
        {"invalid UTF-8 is dropped", "a\xFF\xC3(b\xED\xA0\x80", "\"a(b\""},
        {"a NUL byte", std::string_view("a\0b", 3), "\"a\\u0000b\""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        std::string out = "x";
        AppendJsonString(out, c.text);
        EXPECT_EQ(out, "x" + std::string(c.json));
    }
}

TEST(WebPageText, PointsAreRoundedUnitsEachAfterTheFirstAsADifference) {
    std::string out;
    PointWriter writer(out);
    EXPECT_TRUE(writer.Append(54.712344, 20.5));
    EXPECT_TRUE(writer.Append(54.712356, 20.499994));  // rounded to the nearest unit
    EXPECT_FALSE(writer.Append(std::nan(""), 20));
    EXPECT_FALSE(writer.Append(54, std::numeric_limits<double>::infinity()));
    EXPECT_FALSE(writer.Append(1000.5, 20));  // no place on Earth
    EXPECT_TRUE(writer.Append(-1000, 1000));
    EXPECT_EQ(out, "5471234,2050000,2,-1,-105471236,97950001");
}

TEST(WebPageText, OverlayCoordinatesBecomePoints) {
    const struct {
        const char* what;
        std::string_view coordinates;
        std::string_view points;
    } cases[] = {
        {"tuples with and without elevation", "19.5,54.25,0 20,55",
         "5425000,1950000,75000,50000"},
        {"any blanks between tuples", "\r\n\t1,2\n\n 3,4 \r\n", "200000,100000,200000,200000"},
        {"plus signs and exponents", "+1.5,+2 1e1,-2.5E-1", "200000,150000,-225000,850000"},
        {"tuples that are no two numbers are left out",
         "a,b 1 ,2 1, 5,6,7 inf,1 1,nan 1e999,1 2000,1 7,8", "600000,500000,200000,200000"},
        {"nothing", "", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        std::string out;
        PointWriter writer(out);
        AppendCoordinates(writer, c.coordinates);
        EXPECT_EQ(out, c.points);
    }
}

TEST(WebPageText, TheDescriptionHoldsTheHeadingOnce) {
    const struct {
        const char* what;
        std::string_view description;
        std::string_view heading;
        std::vector<std::string_view> pieces;
    } cases[] = {
        {"a trip's: the first word, then the rest as a link's text",
         "Ride: <a href=\"u\">Sea</a><br>x", "Ride: Sea", {"", "Ride: ", "<a href=\"u\">", "Sea", "</a><br>x"}},
        {"a heading without a blank is all link text", "<a href=\"u\">Ride</a>", "Ride",
         {"<a href=\"u\">", "Ride", "</a>"}},
        {"the rest found inside the link still joins back", "R <a href=\"u\">a</a>", "R a",
         {"", "R ", "<", "a", " href=\"u\">a</a>"}},
        {"the whole heading at the start", "Ride here", "Ride", {"", "Ride", " here"}},
        {"an empty heading", "text", "", {"", "", "text"}},
        {"a character the two share only the first byte of", "Ж <b>Зх</b>", "Зх",
         {"Ж <b>", "Зх", "</b>"}},
        {"a heading the description does not hold", "Ride: <a>Sea</a>", "Ride: Lake", {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const std::vector<std::string_view> pieces = DescriptionPieces(c.description, c.heading);
        EXPECT_EQ(pieces, c.pieces);
        if (pieces.empty()) continue;
        std::string all, odd;
        for (std::size_t i = 0; i < pieces.size(); ++i) {
            all += pieces[i];
            if (i % 2 == 1) odd += pieces[i];
        }
        EXPECT_EQ(all, c.description);
        EXPECT_EQ(odd, c.heading);
    }
}

// The page of one overlay and one trip, both with hostile texts.
std::string HostilePage() {
    overlays::Overlay overlay;
    overlay.definition.name = "Граница </script><script>alert(1)</script>";
    overlay.definition.descr = "<!--<script>alert(2)</script>--><img src=x onerror=alert(3)>";
    overlay.definition.style = "sn_brevet\xFF";
    overlay.coordinates = "19.5,54.25,0\xC3 20,55,0";

    catalogue::TripRecord trip = TestTrip("Велопоход: По озёрам </script>", "Код: ab123",
                                            "<a href=\"javascript:alert(4)\">тут</a>\x01");
    tracks::TrackStore store;
    AddPoint(store, "54.1", "20.1");
    AddPoint(store, "54.2", "20.2");
    store.points.back().kept = false;
    AddPoint(store, "54.30", "20.3");
    AddPoint(store, ".5", "-7.", "", "0", true);  // a second segment

    std::string page;
    WebPage writer([&page](std::string_view text) { page += text; });
    writer.AddOverlay(overlay);
    tracks::TrackFigures figures;
    figures.lengthKm = 12.34;
    figures.segmentCount = 2;
    writer.AddTrip(kml::Route::MainAndHome, trip, catalogue::TripClass::LongVoyage, store,
                   figures, tracks::ElevationProfile{});
    writer.Finish();
    return page;
}

std::size_t Count(std::string_view text, std::string_view part) {
    std::size_t count = 0;
    for (std::size_t at = text.find(part); at != std::string_view::npos;
         at = text.find(part, at + 1)) {
        ++count;
    }
    return count;
}

TEST(WebPage, WritesTheDataAsOneInertBlockBesideTheLibraries) {
    const std::string page = HostilePage();
    EXPECT_TRUE(page.starts_with("<!DOCTYPE html>\n<html lang=\"ru\">\n"));
    EXPECT_TRUE(page.ends_with("</script>\n</body>\n</html>\n"));
    // The data block and the three scripts, nothing more, whatever the texts hold.
    EXPECT_EQ(Count(page, "<script"), 4u);
    EXPECT_EQ(Count(page, "</script"), 4u);
    // Its own scripts and style sheets, by their hashes, and images from the tile server.
    EXPECT_NE(page.find(std::string("script-src ") + std::string(kScriptHashes) + "; style-src " +
                        std::string(kStyleHashes) +
                        "; img-src data: https://tile.openstreetmap.org;"),
              std::string::npos);
    EXPECT_EQ(page.find("unsafe-inline"), std::string::npos);
    EXPECT_NE(page.find("<style>" + std::string(kLeafletCss) + "</style>"), std::string::npos);
    EXPECT_NE(page.find("<style>" + std::string(kPageCss) + "</style>"), std::string::npos);
    for (std::string_view part : {kLeafletJs, kPurifyJs, kPageJs}) {
        EXPECT_NE(page.find("<script>" + std::string(part) + "</script>"), std::string::npos);
    }

    const std::string_view opening = "<script type=\"application/json\" id=\"omvo-data\">\n";
    const std::size_t start = page.find(opening) + opening.size();
    const std::string data = page.substr(start, page.find("</script>", start) - start);
    EXPECT_EQ(data.find('<'), std::string::npos) << data;
    EXPECT_TRUE(data.starts_with(
        "{\"tiles\":\"https://tile.openstreetmap.org/{z}/{x}/{y}.png\",\n\"layers\":["
        "{\"bit\":1,\"name\":\"Все поездки\"},"
        "{\"bit\":2,\"name\":\"В домашнем регионе\"},"
        "{\"bit\":4,\"name\":\"Дальние поездки\"}],\n"
        "\"classes\":[{\"id\":\"sn_day_trip\",\"name\":\"Велопробеги\",\"color\":\"#0055ff\","
        "\"alpha\":153,\"width\":6},"))
        << data;
    EXPECT_NE(data.find("{\"id\":\"sn_brevet\",\"name\":\"Бреветы\",\"color\":\"#aa0000\","
                        "\"alpha\":153,\"width\":6}],\n\"items\":[\n"),
              std::string::npos);

    // The overlay: its style read without the invalid byte (brevet, index 5), main and far
    // layers (1 + 4), the tuple with the invalid byte read without it.
    EXPECT_NE(data.find("{\"n\":\"Граница \\u003c/script\\u003e\\u003cscript\\u003ealert(1)"
                        "\\u003c/script\\u003e\",\"k\":5,\"m\":5,\"d\":[\"\\u003c!--\\u003cscript"
                        "\\u003ealert(2)\\u003c/script\\u003e--\\u003e\\u003cimg src=x "
                        "onerror=alert(3)\\u003e\"],\"s\":[[5425000,1950000,75000,50000]]}"),
              std::string::npos)
        << data;
    // The trip: long voyage (index 3), main and home layers (1 + 2), its dates, the heading
    // once, inside the description's pieces, two segments as in the documents, the dropped
    // point left out.
    EXPECT_NE(data.find(",\n{\"id\":\"ab123\",\"k\":3,\"m\":3,\"t\":[20100712,20100715],"
                        "\"d\":[\"\",\"Велопоход: \",\"\\u003ca href=\\\"http://" OMVO_CLUB_HOST
                        "/ru/vplist.php#ab123\\\"\\u003e\",\"По озёрам \\u003c/script\\u003e\","
                        "\"\\u003c/a\\u003e\\u003cbr\\u003eКод: ab123\\u003cbr\\u003e"
                        "Даты похода 12-15 июля 2010\\u003cbr\\u003e\\u003ca href=\\\""
                        "javascript:alert(4)\\\"\\u003eтут\\u003c/a\\u003e\"],"
                        "\"f\":[123,null,null,null,null,2,4],"
                        "\"s\":[[5410000,2010000,20000,20000],[50000,-700000]]}\n]}\n"),
              std::string::npos)
        << data;

    // Without scripts: the number of trips and the three documents.
    EXPECT_NE(page.find("<noscript>"), std::string::npos);
    EXPECT_NE(page.find("Поездок на карте: 1.</p>"), std::string::npos);
    for (std::string_view document : {kml::kMainDocumentName, kml::kHomeDocumentName,
                                      kml::kFarDocumentName}) {
        EXPECT_NE(page.find("<a href=\"" + std::string(document) + "\">"), std::string::npos);
    }
}

TEST(WebPage, IsAFunctionOfWhatIsAddedAlone) {
    EXPECT_EQ(HostilePage(), HostilePage());

    // A trip without points gets no entry, as it gets no placemark.
    std::string page;
    WebPage writer([&page](std::string_view text) { page += text; });
    writer.AddTrip(kml::Route::MainAndFar, TestTrip("Бревет: 200", "Код: br201", ""),
                   catalogue::TripClass::Brevet, tracks::TrackStore{}, tracks::TrackFigures{},
                   tracks::ElevationProfile{});
    writer.Finish();
    EXPECT_NE(page.find("\"items\":[\n\n]}\n</script>"), std::string::npos);
}

// The figures and profile of a trip's entry as the page's data holds them: from "f" up to
// "s".
std::string FiguresOf(std::string_view datesLine, const tracks::TrackFigures& figures,
                      const tracks::ElevationProfile& profile) {
    catalogue::TripRecord trip = TestTrip("Велопробег: Море", "Код: vp101", "");
    trip.datesLine = datesLine;
    tracks::TrackStore store;
    AddPoint(store, "54.1", "20.1");
    std::string page;
    WebPage writer([&page](std::string_view text) { page += text; });
    writer.AddTrip(kml::Route::MainAndHome, trip, catalogue::TripClass::DayTrip, store, figures,
                   profile);
    const std::size_t start = page.find("\"f\":");
    return start == std::string::npos ? "" : page.substr(start, page.find("\"s\":") - start);
}

TEST(WebPage, WritesEachTripsFiguresAndProfile) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    tracks::TrackFigures full;
    full.lengthKm = 45.349;  // tenths of a km, rounded
    full.climbM = 320.5;
    full.descentM = 310.49;
    full.movingSeconds = 7199.6;
    full.totalSeconds = 9600;
    full.segmentCount = 3;
    full.hasElevations = true;
    full.hasTimes = true;
    tracks::TrackFigures bare = full;  // no elevations, no times: their figures unknown
    bare.hasElevations = false;
    bare.hasTimes = false;
    tracks::TrackFigures broken = full;  // what no measure gives, written as unknown
    broken.lengthKm = nan;
    broken.climbM = std::numeric_limits<double>::infinity();
    broken.movingSeconds = 1e300;
    tracks::ElevationProfile profile{.stepKm = 0.77, .lowM = -3, .highM = 180,
                                     .samples = "0Az+/.|9"};
    const struct {
        const char* what;
        std::string_view datesLine;
        const tracks::TrackFigures& figures;
        const tracks::ElevationProfile& profile;
        std::string_view written;
    } cases[] = {
        {"every figure, a one-day ride, a profile", "Даты:      15.07.2010", full, profile,
         "\"f\":[453,321,310,7200,9600,3,1],\"p\":[-3,180,\"0Az+/.|9\"],"},
        {"no elevations or times, a tour of days, no profile", "Даты похода 12-15 июля 2010",
         bare, tracks::ElevationProfile{}, "\"f\":[453,null,null,null,null,3,4],"},
        {"dates that cannot be read give no days", "Даты похода летом", full,
         tracks::ElevationProfile{}, "\"f\":[453,321,310,7200,9600,3,null],"},
        {"dates ending before they start give no days", "Даты похода 30 декабря - 2 января 2011",
         full,
         tracks::ElevationProfile{}, "\"f\":[453,321,310,7200,9600,3,null],"},
        {"values no measure gives are unknown", "Даты:      15.07.2010", broken,
         tracks::ElevationProfile{}, "\"f\":[null,null,310,null,9600,3,1],"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(FiguresOf(c.datesLine, c.figures, c.profile), c.written);
    }
}

}  // namespace
}  // namespace omvo::web
