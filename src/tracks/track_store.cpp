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

}  // namespace omvo::tracks
