#include "base/encoding.hpp"

#include <array>
#include <cstdint>
#include <cstring>

namespace omvo::base {

namespace {

// The characters of the CP1251 bytes 0x80 to 0xBF: the letters of the other Cyrillic
// alphabets, punctuation and signs. 0x98 is unassigned and stands for U+FFFD.
constexpr std::array<char16_t, 64> kPunctuationAndLetters{
    0x0402, 0x0403, 0x201A, 0x0453, 0x201E, 0x2026, 0x2020, 0x2021,  // Ђ Ѓ ‚ ѓ „ … † ‡
    0x20AC, 0x2030, 0x0409, 0x2039, 0x040A, 0x040C, 0x040B, 0x040F,  // € ‰ Љ ‹ Њ Ќ Ћ Џ
    0x0452, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // ђ ‘ ’ “ ” • – —
    0xFFFD, 0x2122, 0x0459, 0x203A, 0x045A, 0x045C, 0x045B, 0x045F,  //   ™ љ › њ ќ ћ џ
    0x00A0, 0x040E, 0x045E, 0x0408, 0x00A4, 0x0490, 0x00A6, 0x00A7,  // nbsp Ў ў Ј ¤ Ґ ¦ §
    0x0401, 0x00A9, 0x0404, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x0407,  // Ё © Є « ¬ shy ® Ї
    0x00B0, 0x00B1, 0x0406, 0x0456, 0x0491, 0x00B5, 0x00B6, 0x00B7,  // ° ± І і ґ µ ¶ ·
    0x0451, 0x2116, 0x0454, 0x00BB, 0x0458, 0x0405, 0x0455, 0x0457,  // ё № є » ј Ѕ ѕ ї
};

// The character of every CP1251 byte from 0x80 up; А to я (0xC0 to 0xFF) are U+0410 to
// U+044F in order.
constexpr char16_t CharacterOf(unsigned byte) {
    return byte >= 0xC0 ? static_cast<char16_t>(0x0410 + (byte - 0xC0))
                        : kPunctuationAndLetters[byte - 0x80];
}

// The UTF-8 form of a CP1251 byte from 0x80 up: two or three bytes.
struct Utf8Form {
    unsigned char length = 0;
    std::array<char, 3> bytes{};
};

constexpr std::array<Utf8Form, 128> MakeUpperHalf() {
    std::array<Utf8Form, 128> table{};
    for (unsigned b = 0x80; b <= 0xFF; ++b) {
        const unsigned c = CharacterOf(b);
        Utf8Form& form = table[b - 0x80];
        if (c < 0x800) {
            form = {2, {static_cast<char>(0xC0 | (c >> 6)), static_cast<char>(0x80 | (c & 0x3F)), 0}};
        } else {
            form = {3, {static_cast<char>(0xE0 | (c >> 12)),
                        static_cast<char>(0x80 | ((c >> 6) & 0x3F)),
                        static_cast<char>(0x80 | (c & 0x3F))}};
        }
    }
    return table;
}

constexpr std::array<Utf8Form, 128> kUpperHalf = MakeUpperHalf();

constexpr std::string_view kReplacementCharacter = "\xEF\xBF\xBD";  // U+FFFD

// The number of leading bytes of text below 0x80, looked at eight at a time.
std::size_t AsciiPrefix(std::string_view text) {
    std::size_t i = 0;
    for (; i + 8 <= text.size(); i += 8) {
        std::uint64_t word;
        std::memcpy(&word, text.data() + i, 8);
        if ((word & 0x8080808080808080u) != 0) break;
    }
    while (i < text.size() && static_cast<unsigned char>(text[i]) < 0x80) ++i;
    return i;
}

// The code point of the valid UTF-8 sequence of `length` bytes at position i.
unsigned CodePointAt(std::string_view text, std::size_t i, std::size_t length) {
    const auto lead = static_cast<unsigned char>(text[i]);
    unsigned c = length == 1 ? lead : lead & (0x7Fu >> length);
    for (std::size_t k = 1; k < length; ++k) {
        c = (c << 6) | (static_cast<unsigned char>(text[i + k]) & 0x3Fu);
    }
    return c;
}

}  // namespace

std::string Cp1251ToUtf8(std::string_view text) {
    const std::size_t ascii = AsciiPrefix(text);
    if (ascii == text.size()) return std::string(text);

    std::string out;
    out.reserve(ascii + (text.size() - ascii) * 2);
    out.append(text.substr(0, ascii));
    for (std::size_t i = ascii; i < text.size(); ++i) {
        const auto b = static_cast<unsigned char>(text[i]);
        if (b < 0x80) {
            out += static_cast<char>(b);
        } else {
            const Utf8Form& form = kUpperHalf[b - 0x80];
            out.append(form.bytes.data(), form.length);
        }
    }
    return out;
}

std::string ToUtf8(std::string_view text, Charset charset) {
    return charset == Charset::Cp1251 ? Cp1251ToUtf8(text) : ValidUtf8(text);
}

std::string Utf8ToCp1251(std::string_view utf8Text) {
    std::string out;
    out.reserve(utf8Text.size());
    std::size_t invalid = 0;
    for (std::size_t i = 0; i < utf8Text.size();) {
        const std::size_t length = Utf8SequenceAt(utf8Text, i, invalid);
        if (length == 0) return std::string(utf8Text);
        const unsigned c = CodePointAt(utf8Text, i, length);
        i += length;
        if (c < 0x80) {
            out += static_cast<char>(c);
            continue;
        }
        unsigned b = 0x80;
        while (b <= 0xFF && CharacterOf(b) != c) ++b;
        if (b > 0xFF) return std::string(utf8Text);
        out += static_cast<char>(b);
    }
    return out;
}

std::size_t Utf8SequenceAt(std::string_view text, std::size_t i, std::size_t& invalid) {
    const auto lead = static_cast<unsigned char>(text[i]);
    if (lead < 0x80) return 1;
    std::size_t continuations = 0;
    unsigned char low = 0x80;  // range of the first continuation byte
    unsigned char high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        continuations = 1;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        continuations = 2;
        if (lead == 0xE0) low = 0xA0;   // no overlong forms
        if (lead == 0xED) high = 0x9F;  // no surrogates
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        continuations = 3;
        if (lead == 0xF0) low = 0x90;   // no overlong forms
        if (lead == 0xF4) high = 0x8F;  // nothing above U+10FFFF
    } else {
        invalid = 1;  // a stray continuation byte, an overlong lead byte or no lead byte at all
        return 0;
    }
    std::size_t matched = 0;
    while (matched < continuations && i + 1 + matched < text.size()) {
        const auto b = static_cast<unsigned char>(text[i + 1 + matched]);
        if (b < low || b > high) break;
        low = 0x80;
        high = 0xBF;
        ++matched;
    }
    if (matched < continuations) {
        invalid = 1 + matched;
        return 0;
    }
    return 1 + continuations;
}

std::string ValidUtf8(std::string_view text) {
    std::size_t i = AsciiPrefix(text);
    std::size_t invalid = 0;
    while (i < text.size()) {
        const std::size_t length = Utf8SequenceAt(text, i, invalid);
        if (length == 0) break;
        i += length;
    }
    if (i == text.size()) return std::string(text);

    std::string out(text.substr(0, i));
    while (i < text.size()) {
        const std::size_t length = Utf8SequenceAt(text, i, invalid);
        if (length == 0) {
            out += kReplacementCharacter;
            i += invalid;
        } else {
            out.append(text.substr(i, length));
            i += length;
        }
    }
    return out;
}

std::size_t Utf8Offset(std::string_view utf8Text, std::size_t characters) {
    std::size_t i = 0;
    for (std::size_t seen = 0; i < utf8Text.size(); ++i) {
        if ((static_cast<unsigned char>(utf8Text[i]) & 0xC0) == 0x80) continue;
        if (seen == characters) return i;
        ++seen;
    }
    return i;
}

void Utf8Evidence::Add(std::string_view text) {
    if (invalid) return;  // the file is CP1251 already
    std::size_t i = 0;
    std::size_t bad = 0;
    for (;;) {
        i += AsciiPrefix(text.substr(i));
        if (i == text.size()) return;
        const std::size_t length = Utf8SequenceAt(text, i, bad);
        if (length == 0) {
            invalid = true;
            return;
        }
        multiByte = true;
        i += length;
    }
}

std::string Utf8ToCp866(std::string_view utf8Text) {
    std::string out;
    out.reserve(utf8Text.size());
    for (std::size_t i = 0; i < utf8Text.size();) {
        auto b = static_cast<unsigned char>(utf8Text[i]);
        if (b < 0x80) {
            out += static_cast<char>(b);
            ++i;
            continue;
        }
        if ((b & 0xE0) == 0xC0 && i + 1 < utf8Text.size()) {
            unsigned cp = ((b & 0x1Fu) << 6) | (static_cast<unsigned char>(utf8Text[i + 1]) & 0x3Fu);
            i += 2;
            if (cp >= 0x410 && cp <= 0x42F) out += static_cast<char>(0x80 + (cp - 0x410));       // А..Я
            else if (cp >= 0x430 && cp <= 0x43F) out += static_cast<char>(0xA0 + (cp - 0x430));  // а..п
            else if (cp >= 0x440 && cp <= 0x44F) out += static_cast<char>(0xE0 + (cp - 0x440));  // р..я
            else if (cp == 0x401) out += static_cast<char>(0xF0);                                 // Ё
            else if (cp == 0x451) out += static_cast<char>(0xF1);                                 // ё
            else out += '?';
            continue;
        }
        // Longer sequences have no CP866 form in the tool's texts.
        ++i;
        while (i < utf8Text.size() && (static_cast<unsigned char>(utf8Text[i]) & 0xC0) == 0x80) ++i;
        out += '?';
    }
    return out;
}

}  // namespace omvo::base
