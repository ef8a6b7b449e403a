#include "catalogue/trip_id.hpp"

#include <gtest/gtest.h>

#include <string>

#include "catalogue/cp1251_text.hpp"

namespace omvo::catalogue {
namespace {

using omvo::test::Cp1251;

TripRecord Trip(std::string_view heading, std::string_view idLine, std::string_view summary) {
    return omvo::test::Cp1251Trip(heading, idLine, summary);
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
