#include "overlays/overlay_file.hpp"

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string>

#include "base/encoding.hpp"
#include "overlays/overlay_test_support.hpp"
#include "support/cp1251_text.hpp"
#include "support/temp_dir.hpp"

namespace omvo::overlays {
namespace {

using namespace omvo::test;
using base::Cp1251ToUtf8;

struct ReadCase {
    std::string what;
    std::string content;
    OverlayDefinition expected;
    bool complete;
};

// Reads the case's content as an overlay file into a definition that held other values, and
// compares the outcome and every value.
void ExpectRead(const ReadCase& c) {
    SCOPED_TRACE(c.what);
    TempDir dir;
    const std::string path = dir.Write("overlay.txt", c.content);
    OverlayDefinition got{"old", "old", "old", "old"};
    EXPECT_EQ(ReadOverlayFile(path, got), c.complete);
    EXPECT_EQ(got.name, c.expected.name);
    EXPECT_EQ(got.descr, c.expected.descr);
    EXPECT_EQ(got.style, c.expected.style);
    EXPECT_EQ(got.file, c.expected.file);
}

TEST(ReadOverlayFile, TakesTheLastValueOfEachKeyAtTheStartOfALine) {
    const ReadCase cases[] = {
        {"keys in any order", "file=route.kml\r\nstyle=sn_brevet\r\ndescr=D\r\nname=N\r\n",
         {"N", "D", "sn_brevet", "route.kml"}, true},
        {"no line end after the last line", "name=N\ndescr=D\nstyle=s\nfile=f",
         {"N", "D", "s", "f"}, true},
        {"free text and blank lines between", "Overlay\n\nname=N\n\n# note\ndescr=D\nstyle=s\nfile=f\n",
         {"N", "D", "s", "f"}, true},
        {"a key without value", "name=\ndescr=D\nstyle=s\nfile=f\n", {"", "D", "s", "f"}, false},
        {"an empty value keeps the earlier one", "name=N\nname=\ndescr=D\nstyle=s\nfile=f\n",
         {"N", "D", "s", "f"}, true},
        {"the last value wins", "name=First\nname=Second\ndescr=D\nstyle=s\nfile=f\n",
         {"Second", "D", "s", "f"}, true},
        {"a capital key counts for nothing", "Name=N\ndescr=D\nstyle=s\nfile=f\n",
         {"", "D", "s", "f"}, false},
        {"a key after a blank counts for nothing", " name=N\ndescr=D\nstyle=s\nfile=f\n",
         {"", "D", "s", "f"}, false},
        {"values keep their blanks", "name= N \ndescr=D\nstyle=sn_day_trip \nfile=f\n",
         {" N ", "D", "sn_day_trip ", "f"}, true},
        {"a value holding another key", "name=descr=x\nstyle=s\nfile=f\n",
         {"descr=x", "", "s", "f"}, false},
        {"an empty file", "", {}, false},
    };
    for (const ReadCase& c : cases) ExpectRead(c);
}

TEST(ReadOverlayFile, GivesTheSameValuesInEveryCodePage) {
    const std::string content = "name=Граница «юг» – 2\r\ndescr=Вдоль <b>границы</b>\u00A0…\r\n"
                                "style=sn_brevet\r\nfile=карты/граница.kml\r\n";
    for (const auto& saved : SavedEveryWay(content)) {
        SCOPED_TRACE(saved.as);
        TempDir dir;
        OverlayDefinition got;
        EXPECT_TRUE(ReadOverlayFile(dir.Write("overlay.txt", saved.bytes), got));
        EXPECT_EQ(got.name, "Граница «юг» – 2");
        EXPECT_EQ(got.descr, "Вдоль <b>границы</b>\u00A0…");
        EXPECT_EQ(got.style, "sn_brevet");
        EXPECT_EQ(got.file, Cp1251("карты/граница.kml"));  // a path as the system takes it
    }
}

TEST(ReadOverlayFile, KeepsWhatCp1251LacksAndReadsWhatIsNoUtf8AsCp1251) {
    const ReadCase cases[] = {
        {"an emoji and a Polish letter", "name=Łeba \U0001F6B2\ndescr=Łeba\nstyle=sn_ł\nfile=Łeba.kml",
         {"Łeba \U0001F6B2", "Łeba", "sn_ł", "Łeba.kml"}, true},
        {"the mark and an invalid byte", "\xEF\xBB\xBFname=Ёж\xFF\ndescr=D\nstyle=s\nfile=f",
         {"Ёж\uFFFD", "D", "s", "f"}, true},
        {"almost UTF-8: one invalid byte at the end", "name=Ёж\ndescr=D\nstyle=s\nfile=ф\n\xFF",
         {Cp1251ToUtf8("Ёж"), "D", "s", "ф"}, true},
    };
    for (const ReadCase& c : cases) ExpectRead(c);
}

TEST(ReadOverlayFile, FindsNothingWhereNoFileIs) {
    TempDir dir;
    std::filesystem::create_directory(dir.File("folder"));
    for (const std::string& path : {dir.File("missing.txt"), dir.File("folder")}) {
        SCOPED_TRACE(path);
        OverlayDefinition got{"old", "old", "old", "old"};
        EXPECT_FALSE(ReadOverlayFile(path, got));
        EXPECT_EQ(got.name + got.descr + got.style + got.file, "");
    }
}

struct CoordinatesCase {
    std::string what;
    std::string source;
    std::string expected;
    int dots;
};

TEST(LoadOverlayCoordinates, CollectsTheTextOfEveryCoordinatesElement) {
    const CoordinatesCase cases[] = {
        {"one line", "<coordinates>1,2,0 3,4,0</coordinates>\n", "1,2,0 3,4,0 ", 1},
        {"one line ending in a blank", "<coordinates>1,2,0 </coordinates>", "1,2,0 ", 1},
        {"one line ending in a tab", "<coordinates>1,2,0\t</coordinates>", "1,2,0\t ", 1},
        {"text around the tags", "<a><coordinates>1,2</coordinates></a>\n", "1,2 ", 1},
        {"three lines", "<coordinates>\n1,2\n</coordinates>\n", " 1,2  ", 1},
        {"an empty line inside", "<coordinates>1,2\n\n3,4</coordinates>\n", "1,2  3,4 ", 1},
        {"indented lines inside", "<coordinates>\n  1,2 \n\t3,4\n  </coordinates>\n",
         "   1,2 \t3,4   ", 1},
        {"closing tag before the opening tag",
         "</coordinates>x<coordinates>1,2\n3,4\n</coordinates>\n", " ", 1},
        {"closing tag before the opening tag, after text",
         "a</coordinates>x<coordinates>1,2\n3,4\n", " ", 1},
        {"two elements joined", "<coordinates>1,2</coordinates>\n<b/>\n<coordinates>3,4</coordinates>",
         "1,2 3,4 ", 2},
        {"an element left open", "<coordinates>1,2\n3,4 \n5,6", "1,2 3,4 5,6 ", 1},
        {"lines outside an element", "1,2\n</coordinates>\n<coordinates>3,4</coordinates>\n9,9\n",
         "3,4 ", 1},
        {"no element", "<kml>\n</kml>\n", "", 0},
        {"an empty file", "", "", 0},
        {"CR LF line ends", "<coordinates>\r\n1,2\r\n</coordinates>\r\n", " 1,2  ", 1},
    };
    for (const CoordinatesCase& c : cases) {
        SCOPED_TRACE(c.what);
        TempDir dir;
        const std::string path = dir.Write("source.kml", c.source);
        std::string got;
        const Console console = Capture([&] { got = LoadOverlayCoordinates(path).value(); });
        EXPECT_EQ(got, c.expected);
        EXPECT_EQ(console.out, LoadingLine(path, c.dots));
    }
}

TEST(LoadOverlayCoordinates, ReadsAKmlDocumentWithElementsOverSeveralLines) {
    std::string got;
    const Console console = Capture([&] { got = LoadOverlayCoordinates(kRoute).value(); });
    EXPECT_EQ(got, kRouteCoordinates);
    EXPECT_EQ(console.out, LoadingLine(kRoute, 2));
}

TEST(LoadOverlayCoordinates, GivesNothingAndSaysNothingWhereNoFileIs) {
    TempDir dir;
    std::filesystem::create_directory(dir.File("folder"));
    for (const std::string& path :
         {dir.File("none.kml"), dir.File("none/x.kml"), dir.File("folder")}) {
        SCOPED_TRACE(path);
        std::optional<std::string> got = "old";
        const Console console = Capture([&] { got = LoadOverlayCoordinates(path); });
        EXPECT_EQ(got, std::nullopt);
        EXPECT_EQ(console.out, "");
    }
}

}  // namespace
}  // namespace omvo::overlays
