#include "tracks/detail/gpx_number.hpp"

#include <array>
#include <charconv>
#include <cstdint>
#include <cstring>
#include <system_error>

#include "base/decimal.hpp"

namespace omvo::tracks::detail {

namespace {

using base::IsDigit;
using base::IsBlank;

constexpr std::size_t kCapacity = PackedNumber::kCapacity;

// Powers of ten that are exact doubles, for the values of up to 19 digits.
constexpr double kPowersOfTen[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,
                                   1e10, 1e11, 1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19};

// A coordinate text (without its sign) too long for the exact fast reading.
std::optional<double> ParseLongCoordinate(std::string_view text, bool negative) {
    std::size_t points = 0;
    bool digits = false;
    for (const char c : text) {
        if (c == '.') {
            ++points;
        } else if (IsDigit(c)) {
            digits = true;
        } else {
            return std::nullopt;
        }
    }
    if (points > 1) return std::nullopt;
    if (!digits) return 0.0;  // "." and "-." read as zero
    double value = 0.0;
    const char* last = text.data() + text.size();
    const auto [end, ec] = std::from_chars(text.data(), last, value, std::chars_format::fixed);
    if (ec != std::errc() || end != last) return std::nullopt;
    return negative ? -value : value;
}

// Returns the position of the first `name` in `tag` at or after `from`, or npos.
std::size_t FindName(std::string_view tag, std::string_view name, std::size_t from) {
    while (from + name.size() <= tag.size()) {
        const void* hit = std::memchr(tag.data() + from, name[0], tag.size() - from);
        if (hit == nullptr) break;
        from = static_cast<std::size_t>(static_cast<const char*>(hit) - tag.data());
        std::size_t same = 1;
        while (same < name.size() && from + same < tag.size() && tag[from + same] == name[same]) {
            ++same;
        }
        if (same == name.size()) return from;
        ++from;
    }
    return std::string_view::npos;
}

// IsNumberChar as a table, for the loop that reads long numbers.
constexpr std::array<bool, 256> MakeNumberChars() {
    std::array<bool, 256> table{};
    for (std::size_t c = 0; c < table.size(); ++c) table[c] = IsNumberChar(static_cast<char>(c));
    return table;
}
constexpr std::array<bool, 256> kNumberChars = MakeNumberChars();

// Returns the end of an exponent ("e" or "E", an optional sign, at least one digit) that
// starts at `from`, or `from` when none starts there.
std::size_t ExponentEnd(std::string_view text, std::size_t from) {
    std::size_t p = from;
    if (p >= text.size() || (text[p] != 'e' && text[p] != 'E')) return from;
    ++p;
    if (p < text.size() && (text[p] == '+' || text[p] == '-')) ++p;
    const std::size_t digits = p;
    while (p < text.size() && IsDigit(text[p])) ++p;
    return p > digits ? p : from;
}

// What one pass over the number characters at the start of a text learns, reading at most
// one character more than the store keeps.
struct ShortRun {
    std::size_t size = 0;          // number characters read
    std::uint64_t codes = 0;       // their PackedNumber codes
    std::uint64_t mantissa = 0;    // the digits as one whole number
    int fractionDigits = 0;        // digits after the '.'
    int points = 0;                // '.' characters
    bool minusInside = false;      // a '-' after the first character

    // Returns true when the run fits the store and is a plain decimal text or a lone '-'.
    bool IsPlain() const { return size <= kCapacity && points <= 1 && !minusInside; }
};

ShortRun ScanShortRun(std::string_view text) {
    ShortRun run;
    const std::size_t limit = text.size() < kCapacity + 1 ? text.size() : kCapacity + 1;
    std::size_t size = 0;
    std::size_t pointAt = 0;
    std::uint64_t mantissa = 0;
    std::uint64_t codes = 0;
    for (; size < limit; ++size) {
        const char c = text[size];
        std::uint64_t code = static_cast<unsigned char>(c - '0');
        if (code < 10) {
            mantissa = mantissa * 10 + code;
        } else if (c == '.') {
            code = PackedNumber::CodeOf('.');
            ++run.points;
            pointAt = size;
        } else if (c == '-') {
            code = PackedNumber::CodeOf('-');
            run.minusInside |= size > 0;
        } else {
            break;
        }
        codes = (codes >> 4) | (code << 60);  // shifted in from the top: no shift by a count
    }
    run.size = size;
    run.codes = size == 0 ? 0 : codes >> (4 * (kCapacity + 1 - size));
    run.mantissa = mantissa;
    run.fractionDigits = run.points == 1 ? static_cast<int>(size - pointAt - 1) : 0;
    return run;
}

// Sets `out` from a plain run of `text`: trimmed by dropping codes, valued from the digits
// read (trailing zeros of a fraction change no value).
void SetFromShortRun(std::string_view text, const ShortRun& run, NumberText& out) {
    std::size_t size = run.size;
    if (run.points == 1) {
        while (size > 0 && text[size - 1] == '0') --size;
        if (size > 0 && text[size - 1] == '.') --size;
    }
    const bool negative = size > 0 && text[0] == '-';
    out.empty = run.size == 0;
    out.text.assignCodes(run.codes & ((std::uint64_t{1} << (4 * size)) - 1), size);
    if (size == 0 || (size == 1 && negative)) {
        out.stored.reset();
    } else {
        const double value =
            static_cast<double>(run.mantissa) / kPowersOfTen[run.fractionDigits];
        out.stored = negative ? -value : value;
    }
    out.whole = out.stored;
}

// ReadNumber for any run: long ones and those followed by an exponent.
void ReadAnyNumber(std::string_view text, NumberText& out) {
    std::size_t end = 0;
    while (end < text.size() && kNumberChars[static_cast<unsigned char>(text[end])]) ++end;
    const std::string_view run = text.substr(0, end);
    const std::size_t exponentEnd = ExponentEnd(text, end);
    if (exponentEnd == end || !base::ParseDecimal(run)) {
        out.Set(run);
        return;
    }
    const std::optional<double> value = base::ParseDecimal(text.substr(0, exponentEnd));
    if (!value) {
        out.Set({});
        return;
    }
    char plain[1100];  // room for the longest fixed form of any double
    const auto [plainEnd, ec] = std::to_chars(plain, plain + sizeof plain, *value,
                                              std::chars_format::fixed);
    out.Set(ec == std::errc() ? std::string_view(plain, static_cast<std::size_t>(plainEnd - plain))
                              : std::string_view());
}

}  // namespace

std::string_view TrimTrailingZeros(std::string_view text) {
    // Most numbers end in a digit other than 0: nothing to trim, whether they hold a '.' or not.
    if (text.empty() || (text.back() != '0' && text.back() != '.')) return text;
    if (text.find('.') == std::string_view::npos) return text;
    while (!text.empty() && text.back() == '0') text.remove_suffix(1);
    if (!text.empty() && text.back() == '.') text.remove_suffix(1);
    return text;
}

std::optional<double> ParseCoordinate(std::string_view text) {
    const bool negative = !text.empty() && text[0] == '-';
    const char* p = text.data() + (negative ? 1 : 0);
    const char* const end = text.data() + text.size();
    if (p == end) return std::nullopt;  // empty, or a lone '-'
    // Up to 19 digits fit the integer exactly; the stored texts have at most 15 characters.
    const std::string_view digitsText(p, static_cast<std::size_t>(end - p));
    if (digitsText.size() > 19) return ParseLongCoordinate(digitsText, negative);
    std::uint64_t mantissa = 0;
    const char* digitsEnd = p;
    for (; digitsEnd < end && IsDigit(*digitsEnd); ++digitsEnd) {
        mantissa = mantissa * 10 + static_cast<std::uint64_t>(*digitsEnd - '0');
    }
    int fractionDigits = 0;
    if (digitsEnd < end) {
        if (*digitsEnd != '.') return std::nullopt;
        for (const char* q = digitsEnd + 1; q < end; ++q) {
            if (!IsDigit(*q)) return std::nullopt;
            mantissa = mantissa * 10 + static_cast<std::uint64_t>(*q - '0');
            ++fractionDigits;
        }
    }
    if (digitsEnd == p && fractionDigits == 0) return 0.0;  // "." and "-." read as zero
    // Both the digits and the power of ten are exact doubles here, so one division gives the
    // correctly rounded value, as from_chars does.
    if (mantissa > (std::uint64_t{1} << 53)) return ParseLongCoordinate(digitsText, negative);
    const double value = static_cast<double>(mantissa) / kPowersOfTen[fractionDigits];
    return negative ? -value : value;
}

void NumberText::Set(std::string_view run) {
    empty = run.empty();
    const std::string_view trimmed = TrimTrailingZeros(run);
    const std::string_view cut = trimmed.substr(0, kCapacity);
    text.assign(cut);
    stored = ParseCoordinate(cut);
    whole = trimmed.size() > cut.size() ? ParseCoordinate(trimmed) : stored;
}

void ReadNumber(std::string_view text, NumberText& out) {
    std::size_t from = 0;
    while (from < text.size() && IsBlank(text[from])) ++from;
    if (from < text.size() && text[from] == '+') ++from;
    text.remove_prefix(from);
    const ShortRun run = ScanShortRun(text);
    if (run.IsPlain() && ExponentEnd(text, run.size) == run.size) {
        SetFromShortRun(text, run, out);
    } else {
        ReadAnyNumber(text, out);
    }
}

void ReadAttributeNumber(std::string_view tag, std::string_view name, NumberText& out) {
    for (std::size_t pos = FindName(tag, name, 0); pos != std::string_view::npos;
         pos = FindName(tag, name, pos + 1)) {
        std::size_t p = pos + name.size();
        while (p < tag.size() && IsBlank(tag[p])) ++p;
        if (p >= tag.size() || tag[p] != '=') continue;
        ++p;
        while (p < tag.size() && IsBlank(tag[p])) ++p;
        if (p < tag.size() && (tag[p] == '"' || tag[p] == '\'')) {
            ReadNumber(tag.substr(p + 1), out);
            return;
        }
    }
    out.Clear();
}

}  // namespace omvo::tracks::detail
