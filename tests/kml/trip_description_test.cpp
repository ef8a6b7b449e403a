#include "kml/trip_description.hpp"

#include <gtest/gtest.h>

#include <string>

#include "catalogue/cp1251_text.hpp"

namespace omvo::kml {
namespace {

using catalogue::TripRecord;
using omvo::test::Cp1251;

TripRecord Trip(std::string_view heading, std::string_view idLine, std::string_view summary) {
    return omvo::test::Cp1251Trip(heading, idLine, summary);
}

// The description of a trip with the identification line "Код: ab123" and the summary
// "Кратко", from the part before the link to the part after the link text.
std::string Described(const std::string& head, const std::string& id, const std::string& title) {
    return head + "<a href=\"http://" OMVO_CLUB_HOST "/ru/vplist.php#" + id + "\">" + title +
           "</a><br>Код: ab123<br>Даты похода 12-15 июля 2010<br>Кратко";
}

TEST(TripDescription, LinksTheTitleAndListsTheRecordInUtf8) {
    TripRecord trip;
    trip.heading = Cp1251("Велопоход: По озёрам «Мещёры»");
    trip.idLine = Cp1251("Код: AB123 (120 км), №7");
    trip.datesLine = Cp1251("Даты похода 12-15 июля 2010");
    trip.summary = Cp1251("Озёра – и дальше,\xC2\xA0Ёлкино <b>&amp;</b>");
    trip.sightsLine = Cp1251("Что посмотреть: GPS-трек");
    const std::string expected =
        "Велопоход: <a href=\"http://" OMVO_CLUB_HOST "/ru/vplist.php#ab123\">По озёрам Мещёры</a>"
        "<br>Код: AB123 (120 км), №7<br>Даты похода 12-15 июля 2010<br>Озёра  и дальше,Ёлкино "
        "<b>&amp;</b>";
    EXPECT_EQ(TripDescription(trip), expected);
    // The same, spelled out for the first words.
    EXPECT_EQ(TripDescription(trip).substr(0, 22),
              "\xD0\x92\xD0\xB5\xD0\xBB\xD0\xBE\xD0\xBF\xD0\xBE\xD1\x85\xD0\xBE\xD0\xB4: <a");
}

TEST(TripDescription, SplitsTheHeadingAtItsFirstBlank) {
    const struct { const char* heading; const char* head; const char* title; } cases[] = {
        {"Велопробег: Калуга - Таруса", "Велопробег: ", "Калуга - Таруса"},
        {"Велопробег", "", "Велопробег"},                   // no blank: all of it is the link
        {" Велопробег: Калуга", " ", "Велопробег: Калуга"},  // a leading blank is the head
        {"Бревет:  200 км", "Бревет: ", " 200 км"},
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

TEST(TripDescription, CutsTheSummaryToOneHundredEightyCharactersBeforeConverting) {
    const std::string a177(177, 'a');
    const std::string ya177 = [] {
        std::string s;
        for (int i = 0; i < 177; ++i) s += "я";
        return s;
    }();
    const struct { const char* what; std::string summary; std::string written; } cases[] = {
        {"180 written whole", a177 + "bcd", a177 + "bcd"},
        {"181 cut", a177 + "bcde", a177 + "..."},
        {"400 cut", std::string(400, 'x'), std::string(177, 'x') + "..."},
        {"Cyrillic 180 whole", ya177 + "ёЁ№", ya177 + "ёЁ№"},
        {"Cyrillic 181 cut by characters", ya177 + "ёЁ№ю", ya177 + "..."},
        {"dropped after the cut", std::string(100, 'a') + "\xC2\xA0" + std::string(80, 'b'),
         std::string(100, 'a') + std::string(76, 'b') + "..."},
        {"guillemets dropped from a whole one", "«" + std::string(178, 'c') + "»", std::string(178, 'c')},
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

}  // namespace
}  // namespace omvo::kml
