#include "base/encoding.hpp"

#include <gtest/gtest.h>

#include <string>

namespace omvo::base {
namespace {

TEST(Cp1251ToUtf8, KeepsEveryAsciiByte) {
    std::string ascii;
    for (int b = 0; b < 0x80; ++b) ascii += static_cast<char>(b);
    EXPECT_EQ(Cp1251ToUtf8(ascii), ascii);
    EXPECT_EQ(Cp1251ToUtf8(""), "");
}

TEST(Cp1251ToUtf8, ConvertsTheRussianAlphabet) {
    std::string letters;
    for (int b = 0xC0; b <= 0xFF; ++b) letters += static_cast<char>(b);
    EXPECT_EQ(Cp1251ToUtf8(letters),
              "АБВГДЕЖЗИЙКЛМНОПРСТУФХЦЧШЩЪЫЬЭЮЯабвгдежзийклмнопрстуфхцчшщъыьэюя");
}

TEST(Cp1251ToUtf8, ConvertsYoAndTheNumeroSign) {
    const struct { std::string in; std::string out; } cases[] = {
        {"\xA8", "\xD0\x81"},      // Ё
        {"\xB8", "\xD1\x91"},      // ё
        {"\xB9", "\xE2\x84\x96"},  // №
        {"\xB9" "5, \xA8\xEB\xEA\xE8", "№5, Ёлки"},
        {"\xE5\xB8\xE6", "еёж"},
    };
    for (const auto& c : cases) EXPECT_EQ(Cp1251ToUtf8(c.in), c.out);
}

TEST(Cp1251ToUtf8, DropsPunctuationAndLettersItDoesNotKnow) {
    const struct { const char* what; std::string in; std::string out; } cases[] = {
        {"guillemets", "\xAB\xCC\xE5\xF9\xE5\xF0\xE0\xBB", "Мещера"},
        {"en and em dash", "a \x96 b \x97 c", "a  b  c"},
        {"non-breaking space", "\xEE\xE7\xB8\xF0\xE0\xA0\xEB\xE5\xF1\xE0", "озёралеса"},
        {"Ukrainian and Belarusian letters", "\xAF\xB2\xAA\xA1\xBF\xB3\xBA\xA2", ""},
        {"euro sign and quotes", "\x88\x84\x93\x94", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(Cp1251ToUtf8(c.in), c.out);
    }
    for (int b = 0x80; b <= 0xBF; ++b) {
        if (b == 0xA8 || b == 0xB8 || b == 0xB9) continue;
        SCOPED_TRACE(b);
        EXPECT_EQ(Cp1251ToUtf8(std::string{'x', static_cast<char>(b), 'y'}), "xy");
    }
}

TEST(Cp1251ToUtf8, GarblesUtf8InputWithoutError) {
    // "Ёи" in UTF-8 is D0 81 D0 B8: two Р, one dropped byte and one ё.
    EXPECT_EQ(Cp1251ToUtf8("Ёи"), "РРё");
}

TEST(Utf8ToCp866, WritesTheToolsTextsInTheDosCodePage) {
    // "Загрузка " and "ё", "Ё" in the DOS Cyrillic code page.
    EXPECT_EQ(Utf8ToCp866("Загрузка ok"), "\x87\xA0\xA3\xE0\xE3\xA7\xAA\xA0 ok");
    EXPECT_EQ(Utf8ToCp866("ёЁ"), "\xF1\xF0");
    EXPECT_EQ(Utf8ToCp866("Фильтрация"), "\x94\xA8\xAB\xEC\xE2\xE0\xA0\xE6\xA8\xEF");
}

}  // namespace
}  // namespace omvo::base
