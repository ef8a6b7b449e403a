#include "kml/cyrillic.hpp"

#include <array>

namespace omvo::kml {

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

}  // namespace omvo::kml
