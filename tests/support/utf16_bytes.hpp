#pragma once
// UTF-16 file bytes for tests: a byte-order mark, then the code units in that byte order.

#include <string>
#include <string_view>

namespace omvo::test {

inline std::string Utf16Bytes(std::u16string_view units, bool bigEndian) {
    std::string bytes = bigEndian ? "\xFE\xFF" : "\xFF\xFE";
    for (const char16_t unit : units) {
        const char high = static_cast<char>(unit >> 8);
        const char low = static_cast<char>(unit & 0xFF);
        bytes += bigEndian ? high : low;
        bytes += bigEndian ? low : high;
    }
    return bytes;
}

}  // namespace omvo::test
