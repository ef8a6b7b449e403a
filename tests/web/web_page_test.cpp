#include "web/web_page.hpp"

#include <gtest/gtest.h>

#include <string>
#include <string_view>

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

TEST(WebPageText, DecimalTextsBecomeJsonNumbers) {
    const struct {
        std::string_view text;
        std::string_view json;  // empty: not a decimal text
    } cases[] = {
        {"54.7123", "54.7123"}, {"-12.5", "-12.5"}, {"5.", "5"},     {".5", "0.5"},
        {"-.5", "-0.5"},        {"007", "7"},       {"00.25", "0.25"}, {"0", "0"},
        {"-0.0", "-0.0"},       {"", ""},           {"-", ""},       {".", ""},
        {"1.2.3", ""},          {"1e5", ""},        {"--1", ""},     {"?", ""},
        {"1-", ""},             {" 1", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        std::string out = "[";
        EXPECT_EQ(AppendJsonDecimal(out, c.text), !c.json.empty());
        EXPECT_EQ(out, "[" + std::string(c.json));
    }
}

TEST(WebPageText, OverlayCoordinatesBecomeLatitudeLongitudePairs) {
    const struct {
        const char* what;
        std::string_view coordinates;
        std::string_view pairs;
    } cases[] = {
        {"tuples with and without elevation", "19.5,54.25,0 20,55", "54.25,19.5,55,20"},
        {"any blanks between tuples", "\r\n\t1,2\n\n 3,4 \r\n", "2,1,4,3"},
        {"plus signs and exponents", "+1.5,+2 1e1,-2.5E-1", "2,1.5,-0.25,10"},
        {"tuples that are no two numbers are left out",
         "a,b 1 ,2 1, 5,6,7 inf,1 1,nan 1e999,1 7,8", "6,5,8,7"},
        {"nothing", "", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        std::string out;
        AppendCoordinatePairs(out, c.coordinates);
        EXPECT_EQ(out, c.pairs);
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
    writer.AddTrip(kml::Route::MainAndHome, trip, catalogue::TripClass::LongVoyage, store);
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
    EXPECT_NE(page.find(std::string("script-src ") + std::string(kScriptHashes) + ";"),
              std::string::npos);
    for (std::string_view part : {kLeafletCss, kLeafletJs, kPurifyJs, kPageJs, kPageCss}) {
        EXPECT_NE(page.find(part), std::string::npos);
    }

    const std::string_view opening = "<script type=\"application/json\" id=\"omvo-data\">\n";
    const std::size_t start = page.find(opening) + opening.size();
    const std::string data = page.substr(start, page.find("</script>", start) - start);
    EXPECT_EQ(data.find('<'), std::string::npos) << data;
    EXPECT_TRUE(data.starts_with(
        "{\"styles\":[{\"id\":\"sn_day_trip\",\"color\":\"#0055ff\",\"alpha\":153,\"width\":6},"))
        << data;
    EXPECT_NE(data.find("{\"id\":\"sn_brevet\",\"color\":\"#aa0000\",\"alpha\":153,\"width\":6}],"),
              std::string::npos);

    const std::string overlayName =
        "\"Граница \\u003c/script\\u003e\\u003cscript\\u003ealert(1)\\u003c/script\\u003e\"";
    // The overlay: its style read without the invalid byte (brevet, index 5), main and far
    // layers (1 + 4), the tuple with the invalid byte read without it.
    EXPECT_NE(data.find("{\"h\":" + overlayName +
                        ",\"d\":\"\\u003c!--\\u003cscript\\u003ealert(2)\\u003c/script\\u003e--"
                        "\\u003e\\u003cimg src=x onerror=alert(3)\\u003e\",\"k\":5,\"m\":5,"
                        "\"s\":[[" + overlayName + ",[54.25,19.5,55,20]]]}"),
              std::string::npos)
        << data;
    // The trip: long voyage (index 3), main and home layers (1 + 2), two segments named as
    // in the documents, the dropped point left out, the texts as the documents write them.
    EXPECT_NE(data.find(",\n{\"id\":\"ab123\",\"h\":\"Велопоход: По озёрам \\u003c/script\\u003e\","
                        "\"d\":\"Велопоход: \\u003ca href=\\\"http://" OMVO_CLUB_HOST
                        "/ru/vplist.php#ab123\\\"\\u003eПо озёрам \\u003c/script\\u003e"
                        "\\u003c/a\\u003e\\u003cbr\\u003eКод: ab123\\u003cbr\\u003e"
                        "Даты похода 12-15 июля 2010\\u003cbr\\u003e\\u003ca href=\\\""
                        "javascript:alert(4)\\\"\\u003eтут\\u003c/a\\u003e\",\"k\":3,\"m\":3,"
                        "\"s\":[[\"ab123(1/2)\",[54.1,20.1,54.30,20.3]],"
                        "[\"ab123(2/2)\",[0.5,-7]]]}\n]}\n"),
              std::string::npos)
        << data;
}

TEST(WebPage, IsAFunctionOfWhatIsAddedAlone) {
    EXPECT_EQ(HostilePage(), HostilePage());

    // A trip without points gets no entry, as it gets no placemark.
    std::string page;
    WebPage writer([&page](std::string_view text) { page += text; });
    writer.AddTrip(kml::Route::MainAndFar, TestTrip("Бревет: 200", "Код: br201", ""),
                   catalogue::TripClass::Brevet, tracks::TrackStore{});
    writer.Finish();
    EXPECT_NE(page.find("\"items\":[\n\n]}\n</script>"), std::string::npos);
}

}  // namespace
}  // namespace omvo::web
