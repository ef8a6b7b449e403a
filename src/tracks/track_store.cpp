#include "tracks/track_store.hpp"

#include <array>

namespace omvo::tracks {

namespace {

constexpr std::array<char, 256> MakeCodes() {
    std::array<char, 256> codes{};
    for (std::size_t c = 0; c < codes.size(); ++c) {
        codes[c] = static_cast<char>(PackedNumber::CodeOf(static_cast<char>(c)));
    }
    return codes;
}

constexpr std::array<char, 256> kCodes = MakeCodes();
constexpr char kCharacters[] = "0123456789.-????";
constexpr std::uint64_t kPointCode = PackedNumber::CodeOf('.');
constexpr std::uint64_t kMinusCode = PackedNumber::CodeOf('-');
// Powers of ten up to the most fraction digits a text holds; each is exact as a double.
constexpr double kTens[PackedNumber::kCapacity + 1] = {1e0, 1e1, 1e2,  1e3,  1e4,  1e5,
                                                       1e6, 1e7, 1e8,  1e9,  1e10, 1e11,
                                                       1e12, 1e13, 1e14, 1e15};

}  // namespace

void PackedNumber::assign(std::string_view text) {
    const std::size_t size = text.size() < kCapacity ? text.size() : kCapacity;
    std::uint64_t bits = 0;
    for (std::size_t i = size; i-- > 0;) {
        bits = (bits << 4) | static_cast<std::uint64_t>(kCodes[static_cast<unsigned char>(text[i])]);
    }
    bits_ = (bits << 4) | size;
}

void PackedNumber::AppendTo(std::string& out) const {
    char text[kCapacity];
    std::uint64_t bits = bits_ >> 4;
    for (std::size_t i = 0; i < size(); ++i, bits >>= 4) text[i] = kCharacters[bits & 0xF];
    out.append(text, size());
}

// At most 15 digits make a whole number below 2^53, exact as a double, so the one division
// by an exact power of ten rounds once.
bool PackedNumber::ValueOf(double& value) const {
    std::uint64_t bits = bits_ >> 4;
    std::size_t left = size();
    const bool negative = left > 0 && (bits & 0xF) == kMinusCode;
    if (negative) {
        --left;
        bits >>= 4;
    }
    if (left == 0) return false;  // empty, or a lone '-'
    std::uint64_t digits = 0;
    std::size_t fractionDigits = 0;
    bool point = false;
    for (; left > 0; --left, bits >>= 4) {
        const std::uint64_t code = bits & 0xF;
        if (code < 10) {
            digits = digits * 10 + code;
            fractionDigits += point ? 1 : 0;
        } else if (code == kPointCode && !point) {
            point = true;
        } else {
            return false;
        }
    }
    const double magnitude = static_cast<double>(digits) / kTens[fractionDigits];
    value = negative ? -magnitude : magnitude;
    return true;
}

}  // namespace omvo::tracks
