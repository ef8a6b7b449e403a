#include "base/text_file.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/errors.hpp"
#include "support/temp_dir.hpp"
#include "support/utf16_bytes.hpp"

namespace omvo::base {
namespace {

std::vector<std::string> LinesOf(const std::string& path,
                                 FileDecoding decoding = FileDecoding::Bytes) {
    TextFile file(path, decoding);
    std::vector<std::string> lines;
    std::string_view line;
    while (file.NextLine(line)) lines.emplace_back(line);
    file.Close();
    return lines;
}

// The lines of the blocks NextLines gives: split at LF, without the CR of a CR LF.
std::vector<std::string> LinesOfBlocks(const std::string& path,
                                       FileDecoding decoding = FileDecoding::Bytes) {
    TextFile file(path, decoding);
    std::vector<std::string> lines;
    std::string_view block;
    while (file.NextLines(block)) {
        while (!block.empty()) {
            const std::size_t lf = block.find('\n');
            std::string_view line = block.substr(0, lf);
            if (lf != std::string_view::npos && line.ends_with('\r')) line.remove_suffix(1);
            lines.emplace_back(line);
            block.remove_prefix(lf == std::string_view::npos ? block.size() : lf + 1);
        }
    }
    file.Close();
    return lines;
}

// Both readings of a file: line by line and block by block.
using Reading = std::vector<std::string> (*)(const std::string&, FileDecoding);
constexpr Reading kReadings[] = {LinesOf, LinesOfBlocks};

struct LineCase {
    const char* what;
    std::string bytes;
    std::vector<std::string> lines;
};

TEST(TextFile, SplitsLinesByTheToolsLineEndRules) {
    const LineCase cases[] = {
        {"empty file has no line", "", {}},
        {"LF ends a line", "a\nbb\n", {"a", "bb"}},
        {"CR LF ends a line", "a\r\nbb\r\n", {"a", "bb"}},
        {"last line needs no line end", "a\nbb", {"a", "bb"}},
        {"final line end adds no empty line", "a\n", {"a"}},
        {"empty lines are kept", "\n\na\n\n", {"", "", "a", ""}},
        {"lone CR is dropped and ends no line", "a\rb\nc", {"ab", "c"}},
        {"CR CR LF is one line end and a dropped CR", "a\r\r\nb", {"a", "b"}},
        {"old Mac file is one line", "a\rb\rc\r", {"abc"}},
        {"lone CR at the end adds no line", "a\n\r", {"a"}},
        {"Ctrl-Z inside a line cuts only that line", "ab\x1A" "c\rd\r\nef\n\r\x1A" "g\n",
         {"ab", "ef", ""}},
        {"Ctrl-Z inside the last line", "a\nbc\x1A" "d", {"a", "bc"}},
        {"Ctrl-Z at the start of a line ends the file", "ab\n\x1A" "cd\n", {"ab"}},
        {"Ctrl-Z as the only byte", "\x1A", {}},
        {"NUL bytes are ordinary", std::string("a\0b\n", 4), {std::string("a\0b", 3)}},
        {"blanks and tabs are kept", " a \t\n", {" a \t"}},
    };
    test::TempDir dir;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string path = dir.Write("f.txt", c.bytes);
        for (const Reading read : kReadings) EXPECT_EQ(read(path, FileDecoding::Bytes), c.lines);
    }
}

TEST(TextFile, ReadsLinesLongerThanItsBlock) {
    test::TempDir dir;
    std::string longLine(3 * 1024 * 1024 + 17, 'x');
    longLine[12345] = '\r';
    std::string expected = longLine;
    expected.erase(12345, 1);
    const std::string path = dir.Write("long.txt", "head\r\n" + longLine + "\r\ntail");
    for (const Reading read : kReadings) {
        const std::vector<std::string> lines = read(path, FileDecoding::Bytes);
        ASSERT_EQ(lines.size(), 3u);
        EXPECT_EQ(lines[0], "head");
        EXPECT_EQ(lines[1], expected);
        EXPECT_EQ(lines[2], "tail");
    }
}

TEST(TextFile, SplitsLinesThatStraddleBlockBoundaries) {
    test::TempDir dir;
    std::string content;
    std::vector<std::string> expected;
    for (int i = 0; content.size() < 3 * 1024 * 1024; ++i) {
        std::string line(static_cast<std::size_t>(i % 97), static_cast<char>('a' + i % 26));
        if (i % 50 == 7 && line.size() > 3) {  // a Ctrl-Z inside the line cuts it there
            expected.push_back(line.substr(0, 3));
            line[3] = '\x1A';
        } else {
            expected.push_back(line);
        }
        content += line + (i % 3 == 0 ? "\r\n" : "\n");
    }
    const std::string path = dir.Write("many.txt", content);
    for (const Reading read : kReadings) EXPECT_EQ(read(path, FileDecoding::Bytes), expected);
}

TEST(TextFile, DecodesUtf16FilesByTheirByteOrderMark) {
    const std::string oneMiB(1024 * 1024, 'x');
    // A file whose surrogate pair (U+1F6B2) has its first unit in the first MiB of the file
    // and its second in the next.
    std::u16string acrossBlocks = u"a\n";
    acrossBlocks.append((1024 * 1024 - 2 - 2 * acrossBlocks.size() - 2) / 2, u'y');
    acrossBlocks += u"\U0001F6B2b\r\nc";
    const struct {
        const char* what;
        std::string bytes;
        FileDecoding decoding;
        std::vector<std::string> lines;
    } cases[] = {
        {"little-endian, line ends as in any file",
         test::Utf16Bytes(u"<ele>1</ele>\r\nб\rв\n\n", false), FileDecoding::Utf16ByMark,
         {"<ele>1</ele>", "бв", ""}},
        {"big-endian, a Cyrillic comment and a character beyond 16 bits",
         test::Utf16Bytes(u"<!-- Трек -->\n\U0001F6B2", true), FileDecoding::Utf16ByMark,
         {"<!-- Трек -->", "\xF0\x9F\x9A\xB2"}},
        {"a surrogate pair across the first MiB", test::Utf16Bytes(acrossBlocks, false),
         FileDecoding::Utf16ByMark,
         {"a", std::string(1024 * 1024 / 2 - 4, 'y') + "\xF0\x9F\x9A\xB2" "b", "c"}},
        {"an unpaired surrogate becomes U+FFFD and joins nothing",
         test::Utf16Bytes(std::u16string(u"1") + char16_t(0xD800) + u"2" + char16_t(0xDC00) +
                                 u"3" + char16_t(0xD83D),
                             false),
         FileDecoding::Utf16ByMark, {"1\xEF\xBF\xBD" "2\xEF\xBF\xBD" "3\xEF\xBF\xBD"}},
        {"a last odd byte becomes U+FFFD", test::Utf16Bytes(u"ab", true) + "c",
         FileDecoding::Utf16ByMark, {"ab\xEF\xBF\xBD"}},
        {"a Ctrl-Z ends the decoded text as any other", test::Utf16Bytes(u"a\n\x1A" "b", false),
         FileDecoding::Utf16ByMark, {"a"}},
        {"the mark alone is an empty file", "\xFF\xFE", FileDecoding::Utf16ByMark, {}},
        {"a file without the mark is read byte for byte", "<a>\xFE\xFF\n\xEF\xBB\xBF",
         FileDecoding::Utf16ByMark, {"<a>\xFE\xFF", "\xEF\xBB\xBF"}},
        {"without being asked, a UTF-16 file is read byte for byte", std::string("\xFF\xFEx\0\n\0", 6),
         FileDecoding::Bytes, {std::string("\xFF\xFEx\0", 4), std::string(1, '\0')}},
    };
    test::TempDir dir;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string path = dir.Write("f.txt", c.bytes);
        for (const Reading read : kReadings) EXPECT_EQ(read(path, c.decoding), c.lines);
    }
}

TEST(TextFile, TellsUtf8FromCp1251ByTheMarkOrByTheLinesItGives) {
    const struct {
        const char* what;
        std::string bytes;
        std::vector<std::string> lines;
        Charset charset;
        long firstNonUtf8Line;
    } cases[] = {
        {"the UTF-8 mark is dropped", "\xEF\xBB\xBF" "a\r\nЁ\n", {"a", "Ё"}, Charset::Utf8, 0},
        {"the mark alone is an empty file", "\xEF\xBB\xBF", {}, Charset::Utf8, 0},
        {"the mark decides even for invalid text", "\xEF\xBB\xBF\xC5\xEB", {"\xC5\xEB"},
         Charset::Utf8, 1},
        {"valid UTF-8 beyond ASCII", "Ёлки\r\n\nпалки", {"Ёлки", "", "палки"}, Charset::Utf8, 0},
        {"an emoji after a long ASCII run", "a\n" + std::string(21, 'x') + "\U0001F6B2",
         {"a", std::string(21, 'x') + "\U0001F6B2"}, Charset::Utf8, 0},
        {"ASCII only", "a\nb\n", {"a", "b"}, Charset::Cp1251, 0},
        {"CP1251", "a\n\xC5\xEB\n", {"a", "\xC5\xEB"}, Charset::Cp1251, 2},
        {"almost UTF-8: one invalid byte at the end", "Ёлки\nпалки\xE0",
         {"Ёлки", "палки\xE0"}, Charset::Cp1251, 2},
        {"after a Ctrl-Z that ends the data nothing counts", "Ёлки\n\x1A\xFF", {"Ёлки"},
         Charset::Utf8, 0},
        {"nor what a Ctrl-Z cuts from a line", "Ёлки\x1A\xFF\nb", {"Ёлки", "b"}, Charset::Utf8, 0},
        {"a mark later in the file is text", "a\xEF\xBB\xBF", {"a\xEF\xBB\xBF"}, Charset::Utf8, 0},
    };
    test::TempDir dir;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string path = dir.Write("f.txt", c.bytes);
        for (const Reading read : kReadings) EXPECT_EQ(read(path, FileDecoding::Cp1251OrUtf8), c.lines);
        TextFile byLine(path, FileDecoding::Cp1251OrUtf8);
        std::string_view text;
        while (byLine.NextLine(text)) {}
        EXPECT_EQ(byLine.charset(), c.charset);
        EXPECT_EQ(byLine.firstNonUtf8Line(), c.firstNonUtf8Line);
        TextFile byBlock(path, FileDecoding::Cp1251OrUtf8);
        while (byBlock.NextLines(text)) {}
        EXPECT_EQ(byBlock.charset(), c.charset);
    }
    // Without being asked, the mark is text like any other.
    EXPECT_EQ(LinesOf(dir.Write("f.txt", "\xEF\xBB\xBF" "a")), std::vector<std::string>{"\xEF\xBB\xBF" "a"});
}

TEST(TextFile, DecodesLongUtf16FilesWhole) {
    // Several MiB of multi-byte text, so the decoded text outgrows the blocks it came in.
    std::u16string text;
    std::vector<std::string> expected;
    for (int i = 0; text.size() < 3 * 1024 * 1024; ++i) {
        const std::size_t length = static_cast<std::size_t>(i % 1001);
        text += std::u16string(length, i % 2 == 0 ? u'ж' : u'\u20AC');
        text += i % 3 == 0 ? u"\r\n" : u"\n";
        std::string line;
        for (std::size_t k = 0; k < length; ++k) line += i % 2 == 0 ? "ж" : "\xE2\x82\xAC";
        expected.push_back(line);
    }
    test::TempDir dir;
    const std::string path = dir.Write("long.txt", test::Utf16Bytes(text, true));
    for (const Reading read : kReadings) EXPECT_EQ(read(path, FileDecoding::Utf16ByMark), expected);
}

TEST(TextFile, CountsPhysicalLines) {
    test::TempDir dir;
    TextFile file(dir.Write("n.txt", "a\n\nb\rc\nd"));
    std::string_view line;
    std::vector<long> numbers;
    while (file.NextLine(line)) numbers.push_back(file.lineNumber());
    EXPECT_EQ(numbers, (std::vector<long>{1, 2, 3, 4}));
}

TEST(TextFile, OpeningAMissingFileIsFileNotFound) {
    test::TempDir dir;
    try {
        TextFile file(dir.File("missing.txt"));
        FAIL() << "no error";
    } catch (const InOutError& error) {
        EXPECT_EQ(error.error, IoError::FileNotFound);
        EXPECT_STREQ(error.what(), "File not found");
    }
    try {
        TextFile file(dir.File("nodir/missing.txt"));
        FAIL() << "no error";
    } catch (const InOutError& error) {
        EXPECT_EQ(error.error, IoError::InvalidFilename);
    }
}

}  // namespace
}  // namespace omvo::base
