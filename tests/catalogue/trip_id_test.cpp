#include "catalogue/trip_id.hpp"

#include <gtest/gtest.h>

#include <string>

#include "catalogue/cp1251_text.hpp"

namespace omvo::catalogue {
namespace {

using omvo::testing::Cp1251;

TripRecord Trip(std::string_view heading, std::string_view idLine, std::string_view summary) {
    TripRecord trip;
    trip.line[0] = Cp1251(heading);
    trip.line[1] = Cp1251(idLine);
    trip.line[2] = Cp1251("Даты похода 12-15 июля 2010");
    trip.line[3] = Cp1251(summary);
    trip.line[4] = Cp1251("Что посмотреть: GPS-трек");
    return trip;
}

TEST(TripId, TakesCharactersSixToTenOfTheIdentificationLineLowered) {
    const struct { const char* idLine; const char* id; } cases[] = {
        {"Код: ab123 (120 км)", "ab123"},
        {"Код: AB123 (120 км)", "ab123"},
        {"Код: Zz9Q0", "zz9q0"},
        {"Код: АБ1Яя", "АБ1Яя"},  // Cyrillic letters stay as they are
        {"Код: ab1", "ab1"},
        {"Код: a", "a"},
        {"Код: ", ""},
        {"Код", ""},
        {"", ""},
        {"12345@[`{", "@[`{"},  // only A to Z are lowered
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.idLine);
        EXPECT_EQ(TripId(Trip("Велопробег: x", c.idLine, "")), Cp1251(c.id));
    }
}

}  // namespace
}  // namespace omvo::catalogue
