#pragma once
// Decimal numbers as the settings file writes them, read the same whatever the locale, and
// the small digit helpers the readers share.

#include <optional>
#include <string>
#include <string_view>

namespace omvo::base {

// Blanks, a sign, digits with an optional "." and digits, an optional exponent, and nothing
// after it ("5." is 5, ".5" is 0.5, "." alone is 0). Nothing for any other text or for a
// value beyond the range of a double; a value too small for it reads as 0.
std::optional<double> ParseDecimal(std::string_view text);

inline bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// The value of the `count` digits at `from` of the text, which the caller knows are digits.
inline int DigitsValue(std::string_view text, std::size_t from, std::size_t count) {
    int value = 0;
    for (std::size_t i = from; i < from + count; ++i) value = value * 10 + (text[i] - '0');
    return value;
}

// Appends a whole number in plain decimal.
void AppendInt(std::string& out, long value);

}  // namespace omvo::base
