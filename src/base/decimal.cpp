#include "base/decimal.hpp"

#include <charconv>
#include <system_error>

namespace omvo::base {

std::optional<double> ParseDecimal(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && text[i] == ' ') ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    std::string_view body = text.substr(i);
    if (body.empty()) return std::nullopt;
    // Shape check: digits, optional point and digits, optional exponent with digits.
    std::size_t p = 0;
    while (p < body.size() && IsDigit(body[p])) ++p;
    std::size_t intDigits = p;
    std::size_t fracDigits = 0;
    if (p < body.size() && body[p] == '.') {
        ++p;
        while (p < body.size() && IsDigit(body[p])) ++p, ++fracDigits;
    } else if (intDigits == 0) {
        return std::nullopt;
    }
    std::size_t mantissaEnd = p;
    if (p < body.size() && (body[p] == 'e' || body[p] == 'E')) {
        ++p;
        if (p < body.size() && (body[p] == '+' || body[p] == '-')) ++p;
        std::size_t expDigits = 0;
        while (p < body.size() && IsDigit(body[p])) ++p, ++expDigits;
        if (expDigits == 0) return std::nullopt;
    }
    if (p != body.size()) return std::nullopt;
    double value = 0.0;  // "." alone, with or without an exponent, reads as 0
    if (intDigits + fracDigits > 0) {
        auto [end, ec] = std::from_chars(body.data(), body.data() + body.size(), value,
                                         std::chars_format::general);
        if (ec == std::errc::result_out_of_range) {
            // Too small reads as zero; too large is no number.
            bool negativeExponent = mantissaEnd + 1 < body.size() && body[mantissaEnd + 1] == '-';
            if (!negativeExponent) return std::nullopt;
            value = 0.0;
        } else if (ec != std::errc() || end != body.data() + body.size()) {
            return std::nullopt;
        }
    }
    return negative ? -value : value;
}

void AppendInt(std::string& out, long value) {
    char digits[24];
    auto [end, ec] = std::to_chars(digits, digits + sizeof digits, value);
    (void)ec;
    out.append(digits, end);
}

}  // namespace omvo::base
