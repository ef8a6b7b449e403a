#include "catalogue/trip_list.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/temp_dir.hpp"

namespace omvo::catalogue {
namespace {

// CP1251: "Что посмотреть:" and "GPS-трек".
const std::string kSights = "\xD7\xF2\xEE \xEF\xEE\xF1\xEC\xEE\xF2\xF0\xE5\xF2\xFC:";
const std::string kTrack = "GPS-\xF2\xF0\xE5\xEA";

std::string Record(const std::string& id, const std::string& sights) {
    return "Head " + id + "\nCode: " + id + "\nDates:     1 2010\nSummary\n" + sights + "\n";
}

std::string Accepted(const std::string& id) { return Record(id, kSights + " a " + kTrack); }

std::vector<std::string> IdsIn(const std::string& content) {
    test::TempDir dir;
    std::vector<std::string> ids;
    for (const auto& trip : ReadTripList(dir.Write("list.txt", content))) {
        ids.push_back(trip.idLine.substr(6));
    }
    return ids;
}

TEST(TripList, AcceptsRecordsThatAnnounceAGpsTrack) {
    const struct { const char* what; std::string content; std::vector<std::string> ids; } cases[] = {
        {"two records", Accepted("a1") + "\n" + Accepted("b2"), {"a1", "b2"}},
        {"record at the end without a line end", Accepted("a1").substr(0, Accepted("a1").size() - 1), {"a1"}},
        {"CR LF and empty lines around", "\r\n\r\n" + Accepted("a1") + "\r\n\r\n\r\n" + Accepted("b2"), {"a1", "b2"}},
        {"a sixth line is ignored", Accepted("a1") + "more\nand more\n\n" + Accepted("b2"), {"a1", "b2"}},
        {"a short group is dropped", "x\ny\nz\n\n" + Accepted("b2"), {"b2"}},
        {"a record right after another is lost", Accepted("a1") + Accepted("b2"), {"a1"}},
        {"a blank separator line is no empty line", Accepted("a1") + " \n" + Accepted("b2"), {"a1"}},
        {"no GPS track", Record("a1", kSights + " nothing") + "\n" + Accepted("b2"), {"b2"}},
        {"label after a blank", Record("a1", " " + kSights + kTrack), {}},
        {"GPS-Трек with a capital", Record("a1", kSights + "GPS-\xD2\xF0\xE5\xEA"), {}},
        {"plural ending still found", Record("a1", kSights + kTrack + "\xE8"), {"a1"}},
        {"only rejected records", Record("a1", "x") + "\n" + Record("b2", "y"), {}},
        {"empty file", "", {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(IdsIn(c.content), c.ids);
    }
}

TEST(TripList, KeepsTheFiveLinesAsRead) {
    test::TempDir dir;
    std::string sights = kSights + " \xEC\xE0\xFF\xEA " + kTrack;
    auto table = ReadTripList(dir.Write("list.txt", "H \xC0\r\nCode: ab123\r\n D \r\n S\t\r\n" + sights + "\r\n"));
    ASSERT_EQ(table.size(), 1u);
    EXPECT_EQ(table[0].heading, "H \xC0");
    EXPECT_EQ(table[0].idLine, "Code: ab123");
    EXPECT_EQ(table[0].datesLine, " D ");
    EXPECT_EQ(table[0].summary, " S\t");
    EXPECT_EQ(table[0].sightsLine, sights);
}

TEST(TripList, GrowsBeyondFourThousandRecords) {
    std::string content;
    for (int i = 0; i < 4100; ++i) content += Accepted("t" + std::to_string(i)) + "\n";
    EXPECT_EQ(IdsIn(content).size(), 4100u);
}

}  // namespace
}  // namespace omvo::catalogue
