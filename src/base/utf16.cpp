#include "base/utf16.hpp"

namespace omvo::base {

namespace {

constexpr unsigned kReplacement = 0xFFFD;

char* PutUtf8(unsigned c, char* out) {
    if (c < 0x80) {
        *out++ = static_cast<char>(c);
    } else if (c < 0x800) {
        *out++ = static_cast<char>(0xC0 | (c >> 6));
        *out++ = static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        *out++ = static_cast<char>(0xE0 | (c >> 12));
        *out++ = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        *out++ = static_cast<char>(0x80 | (c & 0x3F));
    } else {
        *out++ = static_cast<char>(0xF0 | (c >> 18));
        *out++ = static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        *out++ = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        *out++ = static_cast<char>(0x80 | (c & 0x3F));
    }
    return out;
}

bool IsHighSurrogate(unsigned unit) { return unit >= 0xD800 && unit <= 0xDBFF; }
bool IsLowSurrogate(unsigned unit) { return unit >= 0xDC00 && unit <= 0xDFFF; }

// Takes one code unit, pairing surrogates.
char* PutUnit(Utf16Decoder& decoder, unsigned unit, char* out) {
    if (decoder.highSurrogate != 0) {
        const unsigned high = decoder.highSurrogate;
        decoder.highSurrogate = 0;
        if (IsLowSurrogate(unit)) {
            return PutUtf8(0x10000 + ((high - 0xD800) << 10) + (unit - 0xDC00), out);
        }
        out = PutUtf8(kReplacement, out);
    }
    if (IsHighSurrogate(unit)) {
        decoder.highSurrogate = unit;
        return out;
    }
    return PutUtf8(IsLowSurrogate(unit) ? kReplacement : unit, out);
}

}  // namespace

std::optional<Utf16Order> Utf16ByteOrderMark(std::string_view firstBytes) {
    if (firstBytes.size() < kUtf16ByteOrderMarkSize) return std::nullopt;
    const auto first = static_cast<unsigned char>(firstBytes[0]);
    const auto second = static_cast<unsigned char>(firstBytes[1]);
    if (first == 0xFF && second == 0xFE) return Utf16Order::LittleEndian;
    if (first == 0xFE && second == 0xFF) return Utf16Order::BigEndian;
    return std::nullopt;
}

char* Utf16Decoder::Decode(const char* data, std::size_t size, char* out) {
    const auto* bytes = reinterpret_cast<const unsigned char*>(data);
    const unsigned char* const end = bytes + size;
    const bool little = order == Utf16Order::LittleEndian;
    auto unitOf = [little](unsigned first, unsigned second) {
        return little ? first | (second << 8) : (first << 8) | second;
    };
    if (pendingByte >= 0 && bytes < end) {
        out = PutUnit(*this, unitOf(static_cast<unsigned>(pendingByte), *bytes++), out);
        pendingByte = -1;
    }
    for (; end - bytes >= 2; bytes += 2) {
        const unsigned unit = unitOf(bytes[0], bytes[1]);
        if (unit < 0x80 && highSurrogate == 0) {
            *out++ = static_cast<char>(unit);  // most of a GPX file
        } else {
            out = PutUnit(*this, unit, out);
        }
    }
    if (bytes < end) pendingByte = *bytes;
    return out;
}

char* Utf16Decoder::Finish(char* out) {
    if (highSurrogate != 0) {
        highSurrogate = 0;
        out = PutUtf8(kReplacement, out);
    }
    if (pendingByte >= 0) {
        pendingByte = -1;
        out = PutUtf8(kReplacement, out);
    }
    return out;
}

}  // namespace omvo::base
