#include "base/utf16.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/utf16_bytes.hpp"

namespace omvo::base {
namespace {

// The decoder's output for the bytes (after their mark) fed in blocks cut at `cuts`.
std::string Decoded(const std::string& file, const std::vector<std::size_t>& cuts) {
    const std::string bytes = file.substr(kUtf16ByteOrderMarkSize);
    Utf16Decoder decoder{*Utf16ByteOrderMark(file)};
    std::string out(Utf16Decoder::MaxOutput(bytes.size()) * (cuts.size() + 1) + 6, '\0');
    char* end = out.data();
    std::size_t from = 0;
    for (std::size_t cut : cuts) {
        end = decoder.Decode(bytes.data() + from, cut - from, end);
        from = cut;
    }
    end = decoder.Decode(bytes.data() + from, bytes.size() - from, end);
    end = decoder.Finish(end);
    out.resize(static_cast<std::size_t>(end - out.data()));
    return out;
}

TEST(Utf16Decoder, GivesTheSameTextWhereverTheBlocksAreCut) {
    const std::u16string text = std::u16string(u"a\U0001F6B2ё€") + char16_t(0xDC00) + u"b" +
                                char16_t(0xD800) + u"c" + char16_t(0xDBFF);
    const std::string expected =
        "a\xF0\x9F\x9A\xB2ё€\xEF\xBF\xBD" "b\xEF\xBF\xBD" "c\xEF\xBF\xBD";
    for (const bool big : {false, true}) {
        const std::string file = test::Utf16Bytes(text, big) + "z";  // and an odd byte
        const std::size_t size = file.size() - kUtf16ByteOrderMarkSize;
        for (std::size_t cut = 0; cut <= size; ++cut) {
            for (std::size_t second = cut; second <= size; second += 3) {
                SCOPED_TRACE(std::to_string(cut) + ", " + std::to_string(second));
                ASSERT_EQ(Decoded(file, {cut, second}), expected + "\xEF\xBF\xBD");
            }
        }
    }
}

TEST(Utf16Decoder, TakesOnlyAByteOrderMarkAtTheStart) {
    EXPECT_EQ(Utf16ByteOrderMark("\xFF\xFE<"), Utf16Order::LittleEndian);
    EXPECT_EQ(Utf16ByteOrderMark("\xFE\xFF"), Utf16Order::BigEndian);
    for (const char* start : {"", "\xFF", "\xEF\xBB\xBF<", "<\xFF\xFE", "\xFE\xFE"}) {
        EXPECT_FALSE(Utf16ByteOrderMark(start).has_value()) << start;
    }
}

}  // namespace
}  // namespace omvo::base
