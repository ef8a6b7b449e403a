#include "base/encoding.hpp"

#include <gtest/gtest.h>

#include <string>

#include "support/cp1251_text.hpp"

namespace omvo::base {
namespace {

using test::kCp1251Table;

TEST(Cp1251ToUtf8, KeepsEveryAsciiByte) {
    std::string ascii;
    for (int b = 0; b < 0x80; ++b) ascii += static_cast<char>(b);
    EXPECT_EQ(Cp1251ToUtf8(ascii), ascii);
    EXPECT_EQ(Cp1251ToUtf8(""), "");
}

// The table comes from Python's codec (tools/cp1251_table.py), not from the tool.
TEST(Cp1251ToUtf8, ConvertsEveryByteFromTheUpperHalfAsTheStandardTable) {
    ASSERT_EQ(std::size(kCp1251Table), 128u);
    std::string all;
    std::string allUtf8;
    for (const test::Cp1251Row& row : kCp1251Table) {
        SCOPED_TRACE(static_cast<int>(row.byte));
        const char b = static_cast<char>(row.byte);
        EXPECT_EQ(Cp1251ToUtf8(std::string{'x', b, 'y'}), "x" + std::string(row.utf8) + "y");
        EXPECT_EQ(Utf8ToCp1251(row.utf8), std::string(1, b));
        all += b;
        allUtf8 += row.utf8;
    }
    EXPECT_EQ(Cp1251ToUtf8(all), allUtf8);
    EXPECT_EQ(Utf8ToCp1251(allUtf8), all);
}

TEST(Utf8ToCp1251, KeepsATextWhoseCharactersCp1251LacksAsItIs) {
    const struct { const char* what; std::string in; std::string out; } cases[] = {
        {"ASCII", "ab123", "ab123"},
        {"Cyrillic", "аб№Ё1", "\xE0\xE1\xB9\xA8" "1"},
        {"an emoji", "аб\U0001F6B21", "аб\U0001F6B21"},
        {"a Polish letter", "Łeba", "Łeba"},
        {"invalid UTF-8", "а\xFF", "а\xFF"},
        {"empty", "", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(Utf8ToCp1251(c.in), c.out);
    }
}

TEST(ValidUtf8, ReplacesEachInvalidSequenceByOneReplacementCharacter) {
    const std::string r = "\uFFFD";
    const struct { const char* what; std::string in; std::string out; } cases[] = {
        {"valid text unchanged", "ab Ёж №\U0001F6B2", "ab Ёж №\U0001F6B2"},
        {"a stray continuation byte", "a\x80" "b", "a" + r + "b"},
        {"a CP1251 word", "\xC5\xE6", r + r},
        {"a truncated sequence counts once", "a\xE2\x84", "a" + r},
        {"a lead byte before ASCII", "\xD0" "a", r + "a"},
        {"an overlong form", "\xC0\xAF", r + r},
        {"a surrogate", "\xED\xA0\x80", r + r + r},
        {"above U+10FFFF", "\xF4\x90\x80\x80", r + r + r + r},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(ValidUtf8(c.in), c.out);
        EXPECT_EQ(ToUtf8(c.in, Charset::Utf8), c.out);
    }
}

TEST(Utf8Offset, CountsCharactersNotBytes) {
    const std::string text = "aЖ№\U0001F6B2b";  // 1, 2, 3, 4 and 1 bytes
    const std::size_t offsets[] = {0, 1, 3, 6, 10, 11, 11};
    for (std::size_t n = 0; n < std::size(offsets); ++n) {
        SCOPED_TRACE(n);
        EXPECT_EQ(Utf8Offset(text, n), offsets[n]);
    }
    EXPECT_EQ(Utf8Offset("", 0), 0u);
}

TEST(Utf8Evidence, FindsAnyRussianLetterOfCp1251AfterALetterInvalidUtf8) {
    // А to я after any of them, Ё or ё, as in almost every Russian word.
    std::string letters;
    for (int b = 0xC0; b <= 0xFF; ++b) letters += static_cast<char>(b);
    for (const char first : letters + "\xA8\xB8") {
        for (const char second : letters) {
            Utf8Evidence evidence;
            evidence.Add(std::string{first, second});
            ASSERT_TRUE(evidence.invalid) << std::hex << (first & 0xFF) << ' ' << (second & 0xFF);
        }
    }
}

TEST(Utf8ToCp866, WritesTheToolsTextsInTheDosCodePage) {
    // "Загрузка " and "ё", "Ё" in the DOS Cyrillic code page.
    EXPECT_EQ(Utf8ToCp866("Загрузка ok"), "\x87\xA0\xA3\xE0\xE3\xA7\xAA\xA0 ok");
    EXPECT_EQ(Utf8ToCp866("ёЁ"), "\xF1\xF0");
    EXPECT_EQ(Utf8ToCp866("Фильтрация"), "\x94\xA8\xAB\xEC\xE2\xE0\xA0\xE6\xA8\xEF");
}

}  // namespace
}  // namespace omvo::base
