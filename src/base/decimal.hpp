#pragma once
// The tool's rule for decimal numbers in input texts (settings values): optional blanks,
// an optional sign, digits, optionally "." and digits, optionally "E" or "e" with an
// optional sign and at least one digit; nothing may follow. "." is always the decimal
// point. "." alone reads as 0, "5." as 5, ".5" as 0.5.

#include <optional>
#include <string>
#include <string_view>

namespace omvo::base {

// The value of the text, or nothing when the text is not a number by the rule above or
// lies beyond the range of a double.
std::optional<double> ParseDecimal(std::string_view text);

inline bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// The value of the `count` digits at `from` of the text, which the caller knows are digits.
int DigitsValue(std::string_view text, std::size_t from, std::size_t count);

// Appends a whole number in plain decimal.
void AppendInt(std::string& out, long value);

}  // namespace omvo::base
