#include "catalogue/trip_id.hpp"

#include <gtest/gtest.h>

#include <string>

#include "catalogue/test_trip.hpp"

namespace omvo::catalogue {
namespace {

TripRecord TripWithId(std::string_view idLine) { return test::TestTrip("Велопробег: x", idLine, ""); }

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
        {"Код:\u00A0«Ab»–ё…", "«ab»–"},  // characters, not bytes
        {"Код: \U0001F6B2Łab\U0001F6B2", "\U0001F6B2Łab\U0001F6B2"},  // Ł is no Latin capital A to Z
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.idLine);
        EXPECT_EQ(TripId(TripWithId(c.idLine)), c.id);
    }
}

TEST(TripFileId, NamesTheGpxFileInCp1251AsACp1251ListDoes) {
    const struct { const char* idLine; std::string fileId; } cases[] = {
        {"Код: AB123", "ab123"},
        {"Код: АБ1Яя", "\xC0\xC1" "1\xDF\xFF"},
        {"Код: ё№\uFFFDab", "\xB8\xB9\x98" "ab"},  // 0x98 of a CP1251 list comes back
        {"Код: аŁ123", "аŁ123"},  // no CP1251 form: UTF-8 as read
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.idLine);
        EXPECT_EQ(TripFileId(TripWithId(c.idLine)), c.fileId);
    }
}

}  // namespace
}  // namespace omvo::catalogue
