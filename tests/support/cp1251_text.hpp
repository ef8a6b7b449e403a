#pragma once
// CP1251 for the tests, from outside the tool: the table tools/cp1251_table.py writes from
// Python's cp1251 codec, and test texts in CP1251 written readably as UTF-8 literals.

#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace omvo::test {

struct Cp1251Row {
    unsigned char byte;
    std::string_view utf8;  // the byte's character
};

// Every byte from 0x80 to 0xFF, in order.
inline constexpr Cp1251Row kCp1251Table[] = {
#include "support/cp1251_table.inc"
};

// Returns the UTF-8 text in CP1251; throws when one of its characters has no CP1251 form.
inline std::string Cp1251(std::string_view utf8) {
    std::string out;
    for (std::size_t i = 0; i < utf8.size();) {
        if (static_cast<unsigned char>(utf8[i]) < 0x80) {
            out += utf8[i++];
            continue;
        }
        const Cp1251Row* found = nullptr;
        for (const Cp1251Row& row : kCp1251Table) {
            if (utf8.substr(i).starts_with(row.utf8)) found = &row;
        }
        if (found == nullptr) throw std::invalid_argument("no CP1251 form in the test text");
        out += static_cast<char>(found->byte);
        i += found->utf8.size();
    }
    return out;
}

// A text file's content in each code page the tool reads: CP1251, UTF-8, and UTF-8 after the
// byte-order mark.
struct SavedText {
    const char* as;
    std::string bytes;
};
inline std::vector<SavedText> SavedEveryWay(std::string_view utf8) {
    return {{"CP1251", Cp1251(utf8)},
            {"UTF-8", std::string(utf8)},
            {"UTF-8 with BOM", "\xEF\xBB\xBF" + std::string(utf8)}};
}

}  // namespace omvo::test
