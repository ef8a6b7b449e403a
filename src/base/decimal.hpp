#pragma once
// Decimal numbers as the settings file writes them, read the same whatever the locale, and
// the small digit helpers the readers share.

#include <optional>
#include <string>
#include <string_view>

namespace omvo::base {

// Returns the value of blanks, a sign, digits with an optional "." and digits, and an
// optional exponent, with nothing after it ("5." is 5, ".5" is 0.5, "." alone is 0); nothing
// for any other text or for a value beyond the range of a double. A value too small for a
// double reads as 0.
std::optional<double> ParseDecimal(std::string_view text);

// Returns true for the ASCII digits 0 to 9.
inline bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Returns true for a blank or a tab, the spaces allowed around numbers and names.
inline bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// Returns the value of the `count` digits at `from` of the text. Requires them to be digits.
inline int DigitsValue(std::string_view text, std::size_t from, std::size_t count) {
    int value = 0;
    for (std::size_t i = from; i < from + count; ++i) value = value * 10 + (text[i] - '0');
    return value;
}

// Returns true when the text holds, from `at`, the pattern's characters, any digit where the
// pattern has '9' ("9999-99-99").
inline bool HasShape(std::string_view text, std::size_t at, std::string_view pattern) {
    if (text.size() < at + pattern.size()) return false;
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        const char c = text[at + i];
        if (pattern[i] == '9' ? !IsDigit(c) : c != pattern[i]) return false;
    }
    return true;
}

// Appends a whole number in plain decimal.
void AppendInt(std::string& out, long value);

}  // namespace omvo::base
