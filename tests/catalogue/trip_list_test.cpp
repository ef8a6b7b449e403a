#include "catalogue/trip_list.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/console_capture.hpp"
#include "support/cp1251_text.hpp"
#include "support/temp_dir.hpp"

namespace omvo::catalogue {
namespace {

using test::Cp1251;
using test::SavedEveryWay;

const std::string kSights = "Что посмотреть:";
const std::string kTrack = "GPS-трек";

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

TEST(TripList, AcceptsRecordsThatAnnounceAGpsTrackInEveryCodePage) {
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
        {"GPS-Трек with a capital", Record("a1", kSights + "GPS-Трек"), {}},
        {"plural ending still found", Record("a1", kSights + kTrack + "и"), {"a1"}},
        {"only rejected records", Record("a1", "x") + "\n" + Record("b2", "y"), {}},
        {"empty file", "", {}},
    };
    for (const auto& c : cases) {
        for (const auto& saved : SavedEveryWay(c.content)) {
            SCOPED_TRACE(std::string(c.what) + ", " + saved.as);
            EXPECT_EQ(IdsIn(saved.bytes), c.ids);
        }
    }
}

TEST(TripList, KeepsTheFiveLinesAsReadInUtf8) {
    const std::string sights = kSights + " «мая» " + kTrack;
    const std::string content =
        "H \u00A0А–\r\nCode: ab123\r\n D \r\n S\t\uFFFD\r\n" + sights + "\r\n";
    for (const auto& saved : SavedEveryWay(content)) {
        SCOPED_TRACE(saved.as);
        test::TempDir dir;
        auto table = ReadTripList(dir.Write("list.txt", saved.bytes));
        ASSERT_EQ(table.size(), 1u);
        EXPECT_EQ(table[0].heading, "H \u00A0А–");
        EXPECT_EQ(table[0].idLine, "Code: ab123");
        EXPECT_EQ(table[0].datesLine, " D ");
        EXPECT_EQ(table[0].summary, " S\t\uFFFD");  // 0x98 of CP1251
        EXPECT_EQ(table[0].sightsLine, sights);
    }
}

TEST(TripList, KeepsCharactersCp1251Lacks) {
    test::TempDir dir;
    const std::string heading = "Велопробег: Łeba \U0001F6B2";
    auto table = ReadTripList(dir.Write("list.txt", heading + "\nКод: ab123\nД\nS\n" + kSights + kTrack));
    ASSERT_EQ(table.size(), 1u);
    EXPECT_EQ(table[0].heading, heading);
}

TEST(TripList, ReadsAListThatIsNotValidUtf8AsCp1251AndSaysWhy) {
    const std::string utf8 = Accepted("u1") + "\n";
    const struct { const char* what; std::string content; std::vector<std::string> ids; } cases[] = {
        {"almost UTF-8: one invalid byte at the end", utf8 + "\n\xE0", {}},
        {"a UTF-8 record in a CP1251 list", Cp1251(Accepted("c1")) + "\n" + utf8, {"c1"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        test::TempDir dir;
        const std::string path = dir.Write("list.txt", c.content);
        test::CaptureStderr();
        std::vector<std::string> ids;
        for (const auto& trip : ReadTripList(path)) ids.push_back(trip.idLine.substr(6));
        const std::string err = test::GetCapturedStderr();
        EXPECT_EQ(ids, c.ids);
        EXPECT_NE(err.find("trip list " + path + ": line "), std::string::npos) << err;
        EXPECT_NE(err.find("read as CP1251"), std::string::npos) << err;
    }
}

TEST(TripList, GrowsBeyondFourThousandRecords) {
    std::string content;
    for (int i = 0; i < 4100; ++i) content += Accepted("t" + std::to_string(i)) + "\n";
    EXPECT_EQ(IdsIn(Cp1251(content)).size(), 4100u);
}

}  // namespace
}  // namespace omvo::catalogue
