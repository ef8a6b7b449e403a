#include "base/text_file.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/errors.hpp"
#include "support/temp_dir.hpp"

namespace omvo::base {
namespace {

std::vector<std::string> LinesOf(const std::string& path) {
    TextFile file(path);
    std::vector<std::string> lines;
    std::string_view line;
    while (file.NextLine(line)) lines.emplace_back(line);
    file.Close();
    return lines;
}

// The lines of the blocks NextLines gives: split at LF, without the CR of a CR LF.
std::vector<std::string> LinesOfBlocks(const std::string& path) {
    TextFile file(path);
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
using Reading = std::vector<std::string> (*)(const std::string&);
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
        for (const Reading read : kReadings) EXPECT_EQ(read(path), c.lines);
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
        const std::vector<std::string> lines = read(path);
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
    for (const Reading read : kReadings) EXPECT_EQ(read(path), expected);
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
