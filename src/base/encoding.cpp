#include "base/encoding.hpp"

#include <array>

namespace omvo::base {

namespace {

// The UTF-8 form of every CP1251 byte from 0x80 up; length 0 drops the byte.
struct Utf8Form {
    unsigned char length = 0;
    std::array<char, 3> bytes{};
};

constexpr std::array<Utf8Form, 128> MakeUpperHalf() {
    std::array<Utf8Form, 128> table{};
    for (unsigned b = 0xC0; b <= 0xEF; ++b) {  // А to Я, а to п
        table[b - 0x80] = {2, {static_cast<char>(0xD0), static_cast<char>(b - 0x30), 0}};
    }
    for (unsigned b = 0xF0; b <= 0xFF; ++b) {  // р to я
        table[b - 0x80] = {2, {static_cast<char>(0xD1), static_cast<char>(b - 0x70), 0}};
    }
    table[0xA8 - 0x80] = {2, {static_cast<char>(0xD0), static_cast<char>(0x81), 0}};  // Ё
    table[0xB8 - 0x80] = {2, {static_cast<char>(0xD1), static_cast<char>(0x91), 0}};  // ё
    table[0xB9 - 0x80] = {3, {static_cast<char>(0xE2), static_cast<char>(0x84),
                              static_cast<char>(0x96)}};  // №
    return table;
}

constexpr std::array<Utf8Form, 128> kUpperHalf = MakeUpperHalf();

}  // namespace

std::string Cp1251ToUtf8(std::string_view text) {
    std::size_t ascii = 0;
    while (ascii < text.size() && static_cast<unsigned char>(text[ascii]) < 0x80) ++ascii;
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
