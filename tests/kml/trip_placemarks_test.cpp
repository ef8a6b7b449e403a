#include "kml/trip_placemarks.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/temp_dir.hpp"

namespace omvo::kml {
namespace {

using omvo::test::ReadFile;
using omvo::test::TempDir;

struct Point {
    std::string lon, lat, ele;
    bool segmentStart = false;
    bool kept = true;
};

tracks::TrackStore MakeStore(const std::vector<Point>& points) {
    tracks::TrackStore store;
    for (const Point& p : points) {
        tracks::TrackPoint& stored = store.points.emplace_back();
        stored.lon.assign(p.lon);
        stored.lat.assign(p.lat);
        stored.ele.assign(p.ele);
        stored.segmentStart = p.segmentStart;
        stored.kept = p.kept;
        if (p.segmentStart) ++store.segmentCount;
    }
    return store;
}

catalogue::TripRecord MakeTrip(std::string idLine, std::string summary = "Along the lakes") {
    return {.heading = "Day-trip: Lakes",
            .idLine = std::move(idLine),
            .datesLine = "01.05.2021",
            .summary = std::move(summary),
            .sightsLine = "What to see: GPS track"};
}

// The placemark of one segment of the trip "No.  AB123, 2 days", drawn as a brevet.
std::string Placemark(const std::string& name, const std::string& tuples) {
    return "<Placemark>\r\n<name>" + name + "</name>\r\n<description><![CDATA[Day-trip: "
           "<a href=\"http://" OMVO_CLUB_HOST "/ru/vplist.php#ab123\">Lakes</a><br>No.  AB123, "
           "2 days<br>01.05.2021<br>Along the lakes]]></description>\r\n<styleUrl>#sn_brevet"
           "</styleUrl>\r\n<LineString>\r\n<tessellate>1</tessellate>\r\n<coordinates>\r\n" +
           tuples + "</coordinates>\r\n</LineString>\r\n</Placemark>\r\n";
}

struct Written {
    std::string main, home, far;
};

// Writes the trip's placemarks as a brevet on the MainAndFar route; gives the three documents.
Written Write(const catalogue::TripRecord& trip, const tracks::TrackStore& store) {
    TempDir dir;
    {
        Documents documents(dir.path().string() + "/");
        WriteTripPlacemarks(documents, Route::MainAndFar, trip, catalogue::TripClass::Brevet,
                            store);
        documents.ReplacePrevious();
    }
    return {ReadFile(dir.File(kMainDocumentName)), ReadFile(dir.File(kHomeDocumentName)),
            ReadFile(dir.File(kFarDocumentName))};
}

struct SegmentCase {
    std::string what;
    std::vector<Point> points;
    // Name and tuple text of each placemark, in order.
    std::vector<std::pair<std::string, std::string>> placemarks;
};

TEST(TripPlacemarks, WriteOnePlacemarkPerSegmentWithEveryPointInExactlyOne) {
    const std::string a = "20.51,54.71,12 ";
    const std::string b = "20.52,54.72,0 ";
    const std::string c = "20.5,54.7,-3.25 ";
    const std::string d = "21,55,100 ";
    const SegmentCase cases[] = {
        {"no segment", {}, {}},
        {"one segment",
         {{"20.51", "54.71", "12", true}, {"20.52", "54.72", "0"}, {"20.5", "54.7", "-3.25"}},
         {{"ab123", a + b + c}}},
        {"one segment of one point", {{"20.51", "54.71", "12", true}}, {{"ab123", a}}},
        {"two segments, the second of a single point",
         {{"20.51", "54.71", "12", true}, {"20.52", "54.72", "0"}, {"21", "55", "100", true}},
         {{"ab123(1/2)", a + b}, {"ab123(2/2)", d}}},
        {"three segments",
         {{"20.51", "54.71", "12", true},
          {"20.52", "54.72", "0", true},
          {"20.5", "54.7", "-3.25"},
          {"21", "55", "100", true}},
         {{"ab123(1/3)", a}, {"ab123(2/3)", b + c}, {"ab123(3/3)", d}}},
        {"a point not kept",
         {{"20.51", "54.71", "12", true}, {"20.52", "54.72", "0", false, false},
          {"20.5", "54.7", "-3.25"}},
         {{"ab123", a + c}}},
    };
    const catalogue::TripRecord trip = MakeTrip("No.  AB123, 2 days");
    for (const SegmentCase& c : cases) {
        SCOPED_TRACE(c.what);
        std::string expected;
        for (const auto& [name, tuples] : c.placemarks) expected += Placemark(name, tuples);
        const Written got = Write(trip, MakeStore(c.points));
        EXPECT_EQ(got.main, expected);
        EXPECT_EQ(got.far, expected);
        EXPECT_EQ(got.home, "");
    }
}

TEST(TripPlacemarks, KeepATupleOfFortyEightCharactersWhole) {
    const catalogue::TripRecord trip = MakeTrip("No.  ab123");
    const Written got = Write(trip, MakeStore({{"-123.4567890123", "-12.34567890123",
                                                "12345.678901234", true}}));
    const std::string tuple = "-123.4567890123,-12.34567890123,12345.678901234 ";
    ASSERT_EQ(tuple.size(), 48u);
    EXPECT_NE(got.main.find("<coordinates>\r\n" + tuple + "</coordinates>\r\n"),
              std::string::npos);
}

TEST(TripPlacemarks, NumberSegmentsBeyondNineInPlainDecimal) {
    std::vector<Point> points;
    for (int i = 0; i < 12; ++i) points.push_back({std::to_string(20 + i), "54", "0", true});
    const Written got = Write(MakeTrip("No.  ab123"), MakeStore(points));
    for (const char* name : {"<name>ab123(1/12)</name>", "<name>ab123(9/12)</name>",
                             "<name>ab123(10/12)</name>", "<name>ab123(12/12)</name>"}) {
        EXPECT_NE(got.main.find(name), std::string::npos) << name;
    }
    EXPECT_EQ(got.main.find("(13/12)"), std::string::npos);
}

TEST(TripPlacemarks, WriteTheTripIdEscapedAndNoCharacterXmlForbids) {
    // Trip id "a&<", U+FFFF and я; U+FFFE in the summary: valid UTF-8, but no XML.
    const catalogue::TripRecord trip = MakeTrip("No.  a&<\xEF\xBF\xBFяrest", "x\xEF\xBF\xBEy");
    const Written got =
        Write(trip, MakeStore({{"20", "54", "0", true}, {"21", "55", "0", true}}));
    EXPECT_NE(got.main.find("<name>a&amp;&lt;я(1/2)</name>"), std::string::npos);
    EXPECT_NE(got.main.find("<name>a&amp;&lt;я(2/2)</name>"), std::string::npos);
    EXPECT_NE(got.main.find("<br>xy]]>"), std::string::npos);
    EXPECT_EQ(got.main.find("\xEF\xBF"), std::string::npos);
}

TEST(TripPlacemarks, KeepTheDescriptionInsideItsCdataSection) {
    const catalogue::TripRecord trip = MakeTrip("No.  ab123", "x]]>y");
    const Written got = Write(trip, MakeStore({{"20", "54", "0", true}}));
    const std::size_t open = got.main.find("<![CDATA[");
    const std::size_t close = got.main.find("]]></description>");
    ASSERT_NE(open, std::string::npos);
    ASSERT_NE(close, std::string::npos);
    const std::string inside = got.main.substr(open, close - open);
    EXPECT_NE(inside.find("x]]]]><![CDATA[>y"), std::string::npos) << inside;
}

}  // namespace
}  // namespace omvo::kml
