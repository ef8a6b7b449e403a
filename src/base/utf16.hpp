#pragma once
// UTF-16 text turned into UTF-8 as it is read, block by block: a file saved as "Unicode"
// (UTF-16 with a byte-order mark) reads like any UTF-8 file.

#include <cstddef>
#include <optional>
#include <string_view>

namespace omvo::base {

enum class Utf16Order { LittleEndian, BigEndian };

// The byte order that a file's first bytes announce: FF FE little-endian, FE FF big-endian;
// nothing for any other start.
std::optional<Utf16Order> Utf16ByteOrderMark(std::string_view firstBytes);

constexpr std::size_t kUtf16ByteOrderMarkSize = 2;

// Decodes a stream of UTF-16 code units given in blocks of any size: a code unit or a
// surrogate pair cut by the end of a block is completed by the next one. Broken text (an
// unpaired surrogate, a last odd byte) becomes U+FFFD, so nothing around it is joined.
struct Utf16Decoder {
    Utf16Order order = Utf16Order::LittleEndian;
    int pendingByte = -1;        // the first byte of a code unit cut by the block's end
    unsigned highSurrogate = 0;  // a high surrogate that waits for its low one; 0 when none

    // The most bytes that Decode writes for `size` bytes of input.
    static constexpr std::size_t MaxOutput(std::size_t size) { return size / 2 * 3 + 6; }

    // Writes the UTF-8 of the block's complete characters from `out`; returns the end of
    // what it wrote. Requires room for MaxOutput(size) bytes.
    char* Decode(const char* data, std::size_t size, char* out);

    // Ends the stream: writes U+FFFD for a surrogate or a byte still waiting (at most 6
    // bytes); returns the end of what it wrote.
    char* Finish(char* out);
};

}  // namespace omvo::base
