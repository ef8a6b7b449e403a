#include "kml/trip_description.hpp"

#include <gtest/gtest.h>

#include <string>

#include "catalogue/test_trip.hpp"
#include "support/cp1251_text.hpp"
#include "support/temp_dir.hpp"

namespace omvo::kml {
namespace {

using catalogue::TripRecord;

TripRecord Trip(std::string_view heading, std::string_view idLine, std::string_view summary) {
    return test::TestTrip(heading, idLine, summary);
}

// The description of a trip with the identification line "Код: ab123" and the summary
// "Кратко", from the part before the link to the part after the link text.
std::string Described(const std::string& head, const std::string& id, const std::string& title) {
    return head + "<a href=\"http://" OMVO_CLUB_HOST "/ru/vplist.php#" + id + "\">" + title +
           "</a><br>Код: ab123<br>Даты похода 12-15 июля 2010<br>Кратко";
}

// `count` times the text.
std::string Repeated(std::string_view text, int count) {
    std::string s;
    for (int i = 0; i < count; ++i) s += text;
    return s;
}

TEST(TripDescription, LinksTheTitleAndListsTheRecordWithEveryCharacter) {
    TripRecord trip;
    trip.heading = "Велопоход: По озёрам «Мещёры»";
    trip.idLine = "Код: AB123 (120 км), №7";
    trip.datesLine = "Даты похода 12-15 июля 2010";
    trip.summary = "Озёра – и дальше,\u00A0Ёлкино <b>&amp;</b> \U0001F6B2";
    trip.sightsLine = "Что посмотреть: GPS-трек";
    const std::string expected =
        "Велопоход: <a href=\"http://" OMVO_CLUB_HOST "/ru/vplist.php#ab123\">По озёрам «Мещёры»</a>"
        "<br>Код: AB123 (120 км), №7<br>Даты похода 12-15 июля 2010<br>Озёра – и дальше,\u00A0Ёлкино "
        "<b>&amp;</b> \U0001F6B2";
    EXPECT_EQ(TripDescription(trip), expected);
}

TEST(TripDescription, SplitsTheHeadingAtItsFirstBlank) {
    const struct { const char* heading; const char* head; const char* title; } cases[] = {
        {"Велопробег: Калуга - Таруса", "Велопробег: ", "Калуга - Таруса"},
        {"Велопробег", "", "Велопробег"},                   // no blank: all of it is the link
        {" Велопробег: Калуга", " ", "Велопробег: Калуга"},  // a leading blank is the head
        {"Бревет:  200 км", "Бревет: ", " 200 км"},
        {"Бревет:\u00A0200 км", "Бревет:\u00A0200 ", "км"},  // a non-breaking space is no blank
        {"Бревет: ", "Бревет: ", ""},
        {"", "", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.heading);
        EXPECT_EQ(TripDescription(Trip(c.heading, "Код: ab123", "Кратко")),
                  Described(c.head, "ab123", c.title));
    }
}

TEST(TripDescription, EndsTheLinkInABareHashWithoutATripId) {
    TripRecord trip = Trip("Велопробег: x", "Код: ab123", "Кратко");
    trip.idLine = "Code";
    EXPECT_NE(TripDescription(trip).find("/ru/vplist.php#\">x</a><br>Code<br>"), std::string::npos);
}

TEST(TripDescription, CutsTheSummaryToOneHundredEightyCharacters) {
    const std::string a177(177, 'a');
    const std::string ya177 = Repeated("я", 177);
    const std::string bike = "\U0001F6B2";
    const struct { const char* what; std::string summary; std::string written; } cases[] = {
        {"180 written whole", a177 + "bcd", a177 + "bcd"},
        {"181 cut", a177 + "bcde", a177 + "..."},
        {"400 cut", std::string(400, 'x'), std::string(177, 'x') + "..."},
        {"Cyrillic 180 whole", ya177 + "ёЁ№", ya177 + "ёЁ№"},
        {"Cyrillic 181 cut by characters", ya177 + "ёЁ№ю", ya177 + "..."},
        {"punctuation counts as characters", "«" + std::string(178, 'c') + "»", "«" + std::string(178, 'c') + "»"},
        {"and is cut as characters", std::string(176, 'c') + "–\u00A0—…»", std::string(176, 'c') + "–..."},
        {"emoji 180 whole", Repeated(bike, 180), Repeated(bike, 180)},
        {"emoji 181 cut, none split", Repeated(bike, 181), Repeated(bike, 177) + "..."},
        {"empty", "", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string description = TripDescription(Trip("Велопробег: x", "Код: ab123", c.summary));
        const std::string lead = "<br>Даты похода 12-15 июля 2010<br>";
        const std::size_t at = description.find(lead);
        ASSERT_NE(at, std::string::npos);
        EXPECT_EQ(description.substr(at + lead.size()), c.written);
    }
}

TEST(TripDescription, IsTheSameForTheListInEveryCodePage) {
    // A summary of 181 characters, 200 bytes in CP1251 and 380 in UTF-8: cut at character 177.
    const std::string summary = "«Янтарный» – " + Repeated("берег ", 27) + "конец.";
    ASSERT_EQ(test::Cp1251(summary).size(), 181u);
    const std::string list = "Велопробег: «Янтарный берег»: Калининград – Светлогорск\r\n"
                             "Код: vp101 (60 км)\r\nДаты:      12 июня 2010\r\n" + summary +
                             "\r\nЧто посмотреть: GPS-трек\r\n";
    const std::string expected =
        "Велопробег: <a href=\"http://" OMVO_CLUB_HOST "/ru/vplist.php#vp101\">«Янтарный берег»: "
        "Калининград – Светлогорск</a><br>Код: vp101 (60 км)<br>Даты:      12 июня 2010<br>"
        "«Янтарный» – " + Repeated("берег ", 27) + "ко...";
    for (const auto& saved : test::SavedEveryWay(list)) {
        SCOPED_TRACE(saved.as);
        test::TempDir dir;
        const catalogue::TripTable trips = catalogue::ReadTripList(dir.Write("list.txt", saved.bytes));
        ASSERT_EQ(trips.size(), 1u);
        EXPECT_EQ(TripDescription(trips[0]), expected);
    }
}

}  // namespace
}  // namespace omvo::kml
